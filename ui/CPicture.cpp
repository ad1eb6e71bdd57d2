#include "ui/CPicture.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace ornivel {

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};

} // namespace

CPicture::~CPicture() { release(); }

void CPicture::release() {
    if (picture_) picture_->Release();
    picture_ = nullptr;
}

bool CPicture::load(const std::wstring& path) {
    release();
    FILE* raw = _wfopen(path.c_str(), L"rb");
    if (!raw) return false;
    std::unique_ptr<FILE, FileCloser> file(raw);
    if (fseek(raw, 0, SEEK_END) != 0) return false;
    long size = ftell(raw);
    if (size <= 0 || fseek(raw, 0, SEEK_SET) != 0) return false;

    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size));
    if (!memory) return false;
    void* bytes = GlobalLock(memory);
    size_t read = bytes ? fread(bytes, 1, static_cast<size_t>(size), raw) : 0;
    if (bytes) GlobalUnlock(memory);
    if (read != static_cast<size_t>(size)) {
        GlobalFree(memory);
        return false;
    }

    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return false;
    }
    HRESULT hr = OleLoadPicture(stream, size, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture_));
    stream->Release();
    if (FAILED(hr)) picture_ = nullptr;
    return picture_ != nullptr;
}

SIZE CPicture::pixelSize(HDC dc) const {
    SIZE size{0, 0};
    if (!picture_) return size;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    size.cx = MulDiv(width, GetDeviceCaps(dc, LOGPIXELSX), 2540);
    size.cy = MulDiv(height, GetDeviceCaps(dc, LOGPIXELSY), 2540);
    return size;
}

bool CPicture::draw(HDC dc) const {
    if (!picture_) return false;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    SIZE pixels = pixelSize(dc);
    return SUCCEEDED(picture_->Render(dc, 0, 0, pixels.cx, pixels.cy, 0, height, width, -height, nullptr));
}

} // namespace ornivel
