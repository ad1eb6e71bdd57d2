#pragma once
// Window placement and control layouts as plain arithmetic, in pixels.
#include <map>
#include <vector>

namespace ornivel {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct Extent {
    int cx = 0, cy = 0;
};

struct Point {
    int x = 0, y = 0;
};

// Where a window of the given outer size goes when centred over `reference` (a window
// rectangle): halves truncate towards zero, a negative coordinate becomes 0, and a window
// that would reach past the screen's right or bottom edge is pulled back onto it.
Point centredPosition(int width, int height, const Box& reference, int screenWidth, int screenHeight);

// The chooser's column of buttons: one per measured label, in order.
struct ChooserLayout {
    std::vector<Box> buttons;  // client coordinates
    int clientWidth = 0;
    int clientHeight = 0;
};
// All buttons take the height of the first label plus 8 and the width of the widest label
// plus 8, at x = 4, with 4-pixel margins and gaps.
ChooserLayout layoutChooser(const std::vector<Extent>& labels);

// The login dialog's control positions for a client area of width x height pixels.
struct LoginLayoutInput {
    int width = 0, height = 0;   // client area
    int buttonWidth = 0, buttonHeight = 0;  // the Login button as created from the template
    int editHeight = 0;          // the password field as created from the template
    int checkWidth = 0, checkHeight = 0;    // SM_CXMENUCHECK, SM_CYMENUCHECK
};
struct LoginLayout {
    int x0 = 0;                  // left edge of the field column
    std::map<int, Box> controls; // control id -> client rectangle
    Box progressPanel;           // where the please-wait text goes after Login
};
LoginLayout layoutLogin(const LoginLayoutInput& in);

} // namespace ornivel
