#include "ui/WindowGeometry.h"

#include <algorithm>

#include "res/resource.h"

namespace ornivel {

Point centredPosition(int width, int height, const Box& reference, int screenWidth, int screenHeight) {
    Point p;
    p.x = reference.left + (reference.width() - width) / 2;
    p.y = reference.top + (reference.height() - height) / 2;
    if (p.x < 0) p.x = 0;
    if (p.y < 0) p.y = 0;
    if (p.x + width > screenWidth) p.x = screenWidth - width;
    if (p.y + height > screenHeight) p.y = screenHeight - height;
    return p;
}

ChooserLayout layoutChooser(const std::vector<Extent>& labels) {
    ChooserLayout layout;
    int y = 4;
    int h = 0;
    int widest = 0;
    for (size_t i = 0; i < labels.size(); ++i) {
        if (i == 0) h = labels[i].cy + 8;
        layout.buttons.push_back(Box{0, y, 100, y + h});
        y += h + 4;
        widest = std::max(widest, labels[i].cx);
    }
    for (Box& b : layout.buttons) {
        b.left = 4;
        b.right = 4 + widest + 8;
    }
    layout.clientWidth = widest + 16;
    layout.clientHeight = y;
    return layout;
}

namespace {
Box at(int x, int y, int w, int h) { return Box{x, y, x + w, y + h}; }
} // namespace

LoginLayout layoutLogin(const LoginLayoutInput& in) {
    LoginLayout l;
    const int W = in.width, H = in.height, bw = in.buttonWidth, bh = in.buttonHeight;
    const int e = in.editHeight - 2;
    const int x0 = 94 + static_cast<int>(0.132 * W);
    const int y0 = H - 66 - bh;
    const int y1 = y0 - 34 - e;
    const int k = 2 * (bw + 1);
    l.x0 = x0;
    auto& c = l.controls;
    c[IDC_LOGIN_OK] = at(x0 - 1, H - 95 - bh, bw - 3, bh - 6);
    c[IDC_REQUEST_PASSWORD_LINK] = at(x0 - 1, H - 91, bw - 3, bh - 6);
    c[IDC_LOGIN_CANCEL] = at(x0 + bw + 6, H - 95 - bh, bw - 3, bh - 6);
    c[IDC_PASSWORD] = at(x0, y1, k, e);
    c[IDC_SAVE_PASSWORD] = at(x0 + k + 4, y1, in.checkWidth, in.checkHeight);
    c[IDC_SAVE_PASSWORD_LABEL] = at(x0 + k + 4 + in.checkWidth, y1, 250, bh - 6);
    c[IDC_USER_ID] = at(x0, y1 - e - 6, k, e);
    c[IDC_SERVER_LIST] = at(x0, y1 - 2 * e - 12, k, e - 10);
    c[IDC_PROGRESS_BAR] = at(x0, H - 114, k, 16);
    c[IDC_STATUS_TEXT] = at(x0, H - 130, k + 16, 16);
    c[IDC_DETAIL_TEXT] = at(x0, H - 156, k + 16, 16);
    c[IDC_UPDATING_TEXT] = at(x0, H - 172, k + 16, 16);

    // The please-wait text starts where the server list starts and reaches over the field
    // column to the bottom of the Login button, with room for its four 16-pixel lines.
    l.progressPanel.left = x0;
    l.progressPanel.top = y1 - 2 * e - 12;
    l.progressPanel.right = x0 + k + 16 + bw;
    l.progressPanel.bottom = std::max(H - 101, l.progressPanel.top + 4 * 20);
    return l;
}

} // namespace ornivel
