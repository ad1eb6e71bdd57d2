/* Machine-dependent JNI definitions for Windows (both 32-bit and 64-bit targets).
 * The build copies the JDK's jni.h next to this file, so that its #include "jni_md.h"
 * finds these definitions instead of the host's. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

/* long is 32 bits on Windows, also on x86_64. */
typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
