#include <gtest/gtest.h>

#include "jvm/JniSignature.h"

using namespace ornivel;

TEST(JniSignature, ResultTypeByTheLastCharacter) {
    EXPECT_EQ(jniReturnOf("()Ljava/lang/String;"), JniReturn::Object);
    EXPECT_EQ(jniReturnOf("()[I"), JniReturn::Int);  // the last character decides, as for the launcher's calls
    EXPECT_EQ(jniReturnOf("(Ljava/lang/String;ILjava/lang/String;)Z"), JniReturn::Boolean);
    EXPECT_EQ(jniReturnOf("([Ljava/lang/String;)V"), JniReturn::Void);
    EXPECT_EQ(jniReturnOf("()J"), JniReturn::Long);
    EXPECT_EQ(jniReturnOf(""), JniReturn::Invalid);
    EXPECT_EQ(jniReturnOf("()X"), JniReturn::Invalid);
}

TEST(JniSignature, ParameterCount) {
    EXPECT_EQ(jniParameterCount("()Ljava/lang/String;"), 0);
    EXPECT_EQ(jniParameterCount("(Ljava/lang/String;ILjava/lang/String;)Z"), 3);
    EXPECT_EQ(jniParameterCount("([Ljava/lang/String;)V"), 1);
    EXPECT_EQ(jniParameterCount("([[I[Ljava/lang/Object;J)V"), 3);
    EXPECT_EQ(jniParameterCount("(IIIIII)Ljava/lang/String;"), 6);
}

TEST(JniSignature, MalformedSignaturesAreRejected) {
    for (const char* bad : {"", "(", "()", "(Q)V", "(L;)V", "(Ljava/lang/String)V", "I()V", "([)V"})
        EXPECT_EQ(jniParameterCount(bad), -1) << bad;
}

TEST(JniSignature, DottedClassNamesBecomeSlashNames) {
    EXPECT_EQ(jniClassName(L"de.torbenwald.zolp.launcher.Launcher"), L"de/torbenwald/zolp/launcher/Launcher");
    EXPECT_EQ(jniClassName(L"Plain"), L"Plain");
}
