#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/WindowGeometry.h"

namespace ornivel {
namespace {

TEST(CentredPosition, CentresWithTruncatingHalves) {
    Point p = centredPosition(101, 51, Box{100, 100, 400, 300}, 1280, 1024);
    EXPECT_EQ(p.x, 100 + (300 - 101) / 2);
    EXPECT_EQ(p.y, 100 + (200 - 51) / 2);
}

TEST(CentredPosition, WideWindowOverOwnerAtTheLeftEdgeStartsAtZero) {
    Point p = centredPosition(300, 100, Box{0, 0, 200, 100}, 1280, 1024);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(CentredPosition, IsPulledBackOntoTheScreen) {
    Point p = centredPosition(400, 300, Box{1100, 900, 1280, 1024}, 1280, 1024);
    EXPECT_EQ(p.x, 1280 - 400);
    EXPECT_EQ(p.y, 1024 - 300);
}

TEST(ChooserLayout, ButtonsShareTheWidestWidthWithFourPixelGaps) {
    ChooserLayout l = layoutChooser({{40, 13}, {120, 15}, {0, 13}});
    ASSERT_EQ(l.buttons.size(), 3u);
    for (const Box& b : l.buttons) {
        EXPECT_EQ(b.left, 4);
        EXPECT_EQ(b.width(), 128);
        EXPECT_EQ(b.height(), 21);  // the first label's height + 8 for every button
    }
    EXPECT_EQ(l.buttons[0].top, 4);
    EXPECT_EQ(l.buttons[1].top, l.buttons[0].bottom + 4);
    EXPECT_EQ(l.buttons[2].top, l.buttons[1].bottom + 4);
    EXPECT_EQ(l.clientWidth, 136);
    EXPECT_EQ(l.clientHeight, l.buttons[2].bottom + 4);
}

TEST(LoginLayout, PlacesTheFieldColumnForTheFixedClientArea) {
    LoginLayoutInput in;
    in.width = 715;
    in.height = 550;
    in.buttonWidth = 100;
    in.buttonHeight = 26;
    in.editHeight = 21;
    in.checkWidth = 13;
    in.checkHeight = 13;
    LoginLayout l = layoutLogin(in);
    EXPECT_EQ(l.x0, 188);
    const int e = 19, y1 = 550 - 66 - 26 - 34 - e, k = 202;
    auto box = [&](int id) { return l.controls.at(id); };
    EXPECT_EQ(box(IDC_PASSWORD).left, 188);
    EXPECT_EQ(box(IDC_PASSWORD).top, y1);
    EXPECT_EQ(box(IDC_PASSWORD).width(), k);
    EXPECT_EQ(box(IDC_USER_ID).top, y1 - e - 6);
    EXPECT_EQ(box(IDC_SERVER_LIST).top, y1 - 2 * e - 12);
    EXPECT_EQ(box(IDC_LOGIN_OK).left, 187);
    EXPECT_EQ(box(IDC_LOGIN_OK).top, 550 - 95 - 26);
    EXPECT_EQ(box(IDC_LOGIN_CANCEL).left, 188 + 100 + 6);
    EXPECT_EQ(box(IDC_REQUEST_PASSWORD_LINK).top, 550 - 91);
    EXPECT_EQ(box(IDC_SAVE_PASSWORD).left, 188 + k + 4);
    EXPECT_EQ(box(IDC_SAVE_PASSWORD_LABEL).left, 188 + k + 4 + 13);
    EXPECT_EQ(box(IDC_PROGRESS_BAR).top, 550 - 114);
    EXPECT_EQ(box(IDC_STATUS_TEXT).top, 550 - 130);
    EXPECT_EQ(box(IDC_DETAIL_TEXT).top, 550 - 156);
    EXPECT_EQ(box(IDC_UPDATING_TEXT).top, 550 - 172);
    // The please-wait panel starts at the server list and holds four 16-pixel lines.
    EXPECT_EQ(l.progressPanel.left, 188);
    EXPECT_EQ(l.progressPanel.top, box(IDC_SERVER_LIST).top);
    EXPECT_GE(l.progressPanel.height(), 4 * 19);
    EXPECT_LE(l.progressPanel.right, 715);
    EXPECT_LE(l.progressPanel.bottom, 550);
}

} // namespace
} // namespace ornivel
