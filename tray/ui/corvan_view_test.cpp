// The main window's view as a real window, drawn into a bitmap whose pixels the test reads.
#include "tray/ui/corvan_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/app/config_mgr.h"

namespace corv {
namespace {

constexpr int kPicW = 40, kPicH = 30;

// Every pixel of the test picture has its own colour.
COLORREF PictureColour(int x, int y) {
    return RGB(x * 5, y * 7, 99);
}

// A 24-bit bottom-up BMP file of the test picture.
void WritePicture(const std::string& path) {
    int stride = (kPicW * 3 + 3) & ~3;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * kPicH);
    for (int y = 0; y < kPicH; ++y) {
        for (int x = 0; x < kPicW; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(kPicH - 1 - y) * stride + x * 3];
            COLORREF c = PictureColour(x, y);
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    info.biSize = sizeof(info);
    info.biWidth = kPicW;
    info.biHeight = kPicH;
    info.biPlanes = 1;
    info.biBitCount = 24;
    FILE* f = _wfopen(Widen(path).c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    fwrite(&file, sizeof(file), 1, f);
    fwrite(&info, sizeof(info), 1, f);
    fwrite(pixels.data(), 1, pixels.size(), f);
    fclose(f);
}

// What the view draws over an area of the given size.
class Drawing {
  public:
    Drawing(const CCorvanView& view, int width, int height) : width_(width) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        bits_ = static_cast<const uint32_t*>(bits);
        view.Draw(dc_, RECT{0, 0, width, height});
        GdiFlush();
    }
    ~Drawing() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF At(int x, int y) const {
        uint32_t p = bits_[static_cast<size_t>(y) * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

  private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    const uint32_t* bits_ = nullptr;
};

class CorvanViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        home_ = Narrow(temp) + "corv view " + std::to_string(CurrentProcessId());
        CreateDirectoryW(Widen(home_).c_str(), nullptr);
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        controller_ = std::make_unique<CConfigMgr>();
    }
    void TearDown() override {
        view_.reset();
        DestroyWindow(parent_);
        controller_.reset();
        DeleteFileW(Widen(home_ + "\\ZUvedARov.bmp").c_str());
        RemoveDirectoryW(Widen(home_).c_str());
    }
    void MakeView(CConfigMgr* controller) {
        view_ = std::make_unique<CCorvanView>();
        ASSERT_TRUE(view_->Create(parent_, [controller] { return controller; }));
    }

    ScopedMemoryRegistry registry_;
    std::string home_;
    HWND parent_ = nullptr;
    std::unique_ptr<CConfigMgr> controller_;
    std::unique_ptr<CCorvanView> view_;
};

TEST_F(CorvanViewTest, ThePictureFileInHomeIsDrawnCentredOnTheLightBackground) {
    WritePicture(home_ + "\\ZUvedARov.bmp");
    controller_->Prefs().SetHome(home_);  // a path with a blank, without a trailing backslash
    MakeView(controller_.get());
    ASSERT_TRUE(view_->PictureFromFile());
    EXPECT_EQ(kPicW, view_->PictureSize().cx);

    Drawing big(*view_, 101, 61);  // picture at 50 - 20, 30 - 15
    EXPECT_EQ(RGB(51, 153, 204), big.At(0, 0));
    EXPECT_EQ(RGB(51, 153, 204), big.At(29, 15));
    EXPECT_EQ(PictureColour(0, 0), big.At(30, 15));
    EXPECT_EQ(PictureColour(kPicW - 1, kPicH - 1), big.At(69, 44));
    EXPECT_EQ(RGB(51, 153, 204), big.At(70, 45));

    // Smaller than the picture: its middle shows, from -10, -10.
    Drawing small(*view_, 20, 10);
    EXPECT_EQ(PictureColour(10, 10), small.At(0, 0));
    EXPECT_EQ(PictureColour(29, 19), small.At(19, 9));
}

TEST_F(CorvanViewTest, WithoutThePictureFileOrAControllerTheBuiltInPictureOnDarkBlue) {
    controller_->Prefs().SetHome(home_);  // no picture file there
    MakeView(controller_.get());
    EXPECT_FALSE(view_->PictureFromFile());
    EXPECT_EQ(225, view_->PictureSize().cx);
    EXPECT_EQ(66, view_->PictureSize().cy);
    Drawing drawn(*view_, 400, 200);
    EXPECT_EQ(RGB(38, 72, 103), drawn.At(0, 0));
    EXPECT_EQ(RGB(38, 72, 103), drawn.At(399, 199));

    WritePicture(home_ + "\\ZUvedARov.bmp");
    MakeView(nullptr);  // the file is there, but nothing says where Home is
    EXPECT_FALSE(view_->PictureFromFile());
    EXPECT_EQ(225, view_->PictureSize().cx);
}

}  // namespace
}  // namespace corv
