#pragma once
// A picture file (BMP, JPEG, GIF, ...) loaded through OLE and drawn at its natural size.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <string>

namespace ornivel {

class CPicture {
public:
    CPicture() = default;
    virtual ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Replaces the held picture by the one in the file; false when it cannot be read.
    bool load(const std::wstring& path);
    bool isLoaded() const { return picture_ != nullptr; }
    // Draws the picture at the top-left corner; false without a picture.
    bool draw(HDC dc) const;
    // Size in device pixels of `dc`; 0 × 0 without a picture.
    SIZE pixelSize(HDC dc) const;
    void release();

private:
    IPicture* picture_ = nullptr;
};

} // namespace ornivel
