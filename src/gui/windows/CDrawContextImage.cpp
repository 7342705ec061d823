// CDrawContext of the Windows build: rectangles and clipping on our image
// buffer in integer arithmetic, text through GDI+ in the named font.
#include "gui/CDrawContext.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

#include "gui/DisplayText.h"
#include "GdiplusSession.h"
#include "ImageSurface.h"
#include "PixelOps.h"

namespace vexal {

namespace {

using windows::PixelBox;

std::wstring utf16(const char* text) {
    std::wstring wide;
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (n <= 1) return wide;
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    wide.pop_back();
    return wide;
}

void fill(cairo_surface_t* s, const PixelBox& box, uint32_t colour) {
    if (box.empty()) return;
    for (int y = box.top; y < box.bottom; ++y) {
        uint32_t* row = s->row(y);
        for (int x = box.left; x < box.right; ++x) row[x] = windows::over(colour, row[x]);
    }
}

// GDI+ objects of one text operation on the context's surface.
class TextScene {
public:
    TextScene(cairo_surface_t* s, const _cairo_font_face* face, CCoord size) {
        using namespace Gdiplus;
        if (!windows::gdiplusReady() || !face) return;
        DllExports::GdipCreateBitmapFromScan0(s->width, s->height, s->width * 4,
                                              s->hasAlpha ? PixelFormat32bppPARGB : PixelFormat32bppRGB,
                                              reinterpret_cast<BYTE*>(s->pixels.data()), &bitmap);
        if (bitmap) DllExports::GdipGetImageGraphicsContext(bitmap, &graphics);
        DllExports::GdipCreateFontFamilyFromName(face->family.data(), nullptr, &family);
        if (!family) DllExports::GdipGetGenericFontFamilySansSerif(&family);
        // Wine on Linux often has neither Arial nor a generic sans serif, but
        // the system's metric twin of Arial.
        for (const wchar_t* name : {L"Liberation Sans", L"DejaVu Sans"})
            if (!family) DllExports::GdipCreateFontFamilyFromName(name, nullptr, &family);
        if (family)
            DllExports::GdipCreateFont(family, static_cast<REAL>(size), face->bold ? FontStyleBold : FontStyleRegular,
                                       UnitPixel, &font);
        DllExports::GdipStringFormatGetGenericTypographic(&typographic);
        if (typographic) DllExports::GdipCloneStringFormat(typographic, &format);
        if (format) DllExports::GdipSetStringFormatFlags(format, StringFormatFlagsNoWrap |
                                                                     StringFormatFlagsMeasureTrailingSpaces);
        if (graphics) {
            DllExports::GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);
            DllExports::GdipSetPageUnit(graphics, UnitPixel);
        }
        if (family && font) {
            UINT16 em = 0, ascentUnits = 0, descentUnits = 0;
            DllExports::GdipGetEmHeight(family, FontStyleRegular, &em);
            DllExports::GdipGetCellAscent(family, FontStyleRegular, &ascentUnits);
            DllExports::GdipGetCellDescent(family, FontStyleRegular, &descentUnits);
            if (em > 0) {
                ascent = size * ascentUnits / em;
                descent = size * descentUnits / em;
            }
        }
    }
    ~TextScene() {
        using namespace Gdiplus;
        if (format) DllExports::GdipDeleteStringFormat(format);
        if (font) DllExports::GdipDeleteFont(font);
        if (family) DllExports::GdipDeleteFontFamily(family);
        if (graphics) DllExports::GdipDeleteGraphics(graphics);
        if (bitmap) DllExports::GdipDisposeImage(bitmap);
    }
    TextScene(const TextScene&) = delete;
    TextScene& operator=(const TextScene&) = delete;

    bool ready() const { return graphics && font && format; }

    CCoord width(const std::wstring& text) const {
        using namespace Gdiplus;
        RectF layout(0, 0, 100000, 1000), bounds;
        DllExports::GdipMeasureString(graphics, text.c_str(), static_cast<INT>(text.size()), font, &layout,
                                      format, &bounds, nullptr, nullptr);
        return bounds.Width;
    }

    void draw(const std::wstring& text, const PixelBox& clip, CCoord x, CCoord baseline, const CColor& c) {
        using namespace Gdiplus;
        DllExports::GdipSetClipRectI(graphics, clip.left, clip.top, clip.right - clip.left,
                                     clip.bottom - clip.top, CombineModeReplace);
        GpSolidFill* brush = nullptr;
        const ARGB argb = (static_cast<ARGB>(c.alpha) << 24) | (static_cast<ARGB>(c.red) << 16) |
                          (static_cast<ARGB>(c.green) << 8) | c.blue;
        DllExports::GdipCreateSolidFill(argb, &brush);
        if (!brush) return;
        RectF layout(static_cast<REAL>(x), static_cast<REAL>(baseline - ascent), 100000, 1000);
        DllExports::GdipDrawString(graphics, text.c_str(), static_cast<INT>(text.size()), font, &layout, format,
                                   brush);
        DllExports::GdipFlush(graphics, FlushIntentionSync);
        DllExports::GdipDeleteBrush(brush);
    }

    CCoord ascent = 0;
    CCoord descent = 0;

private:
    Gdiplus::GpBitmap* bitmap = nullptr;
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdiplus::GpFontFamily* family = nullptr;
    Gdiplus::GpFont* font = nullptr;
    Gdiplus::GpStringFormat* typographic = nullptr;  // owned by GDI+
    Gdiplus::GpStringFormat* format = nullptr;
};

}  // namespace

CFontDesc::CFontDesc(const char* family, CCoord s, bool bold) : size(s > 0 ? s : kStandardSize) {
    face = new _cairo_font_face;
    const std::wstring name = utf16(family ? family : kStandardFamily);
    face->family.assign(name.begin(), name.end());
    face->family.push_back(L'\0');
    face->bold = bold;
}

CFontDesc::~CFontDesc() { delete face; }

CDrawContext::CDrawContext(cairo_surface_t* t)
    : target(t), standardFont(new CFontDesc(CFontDesc::kStandardFamily, CFontDesc::kStandardSize)) {
    surfaceRect = CRect(0, 0, target ? target->width : 0, target ? target->height : 0);
    createCairo();
}

CDrawContext::~CDrawContext() {
    delete cr;
    standardFont->forget();
}

void CDrawContext::createCairo() {
    if (!cr) cr = new _cairo;
    cr->target = target;
    state = State{};
    state.font = standardFont;
    state.clip = surfaceRect;
    savedCount = 0;
}

// Drawing into memory has no error state to fall into.
bool CDrawContext::isHealthy() const { return true; }

bool CDrawContext::recover() { return false; }

void CDrawContext::setSource(const CColor&) {}

void CDrawContext::drawRect(const CRect& r, CDrawStyle style) {
    if (r.isEmpty() || !target) return;
    const PixelBox clip = windows::pixelBox(state.clip).intersect(windows::surfaceBox(target));
    if (style != kDrawStroked)
        fill(target, windows::pixelBox(r).intersect(clip), windows::premultipliedColour(state.fill));
    if (style != kDrawFilled && state.lineWidth > 0) {
        // A stroke of width w covers the w pixels just inside the rectangle.
        const PixelBox o = windows::pixelBox(r);
        const int w = windows::pixelEdge(state.lineWidth);
        const uint32_t colour = windows::premultipliedColour(state.frame);
        fill(target, PixelBox{o.left, o.top, o.right, o.top + w}.intersect(clip), colour);
        fill(target, PixelBox{o.left, o.bottom - w, o.right, o.bottom}.intersect(clip), colour);
        fill(target, PixelBox{o.left, o.top + w, o.left + w, o.bottom - w}.intersect(clip), colour);
        fill(target, PixelBox{o.right - w, o.top + w, o.right, o.bottom - w}.intersect(clip), colour);
    }
}

void CDrawContext::showText(const char* displayed, CCoord x, const CRect& r) {
    if (!target) return;
    TextScene scene(target, state.font->getFace(), state.font->getSize());
    if (!scene.ready()) return;
    const PixelBox clip = windows::pixelBox(r).intersect(windows::pixelBox(state.clip));
    if (clip.empty()) return;
    const CCoord y = r.top + (r.getHeight() + scene.ascent - scene.descent) / 2;
    scene.draw(utf16(displayed), clip, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5), state.fontColor);
}

CCoord CDrawContext::measure(const char* displayed) {
    if (!target) return 0;
    TextScene scene(target, state.font->getFace(), state.font->getSize());
    return scene.ready() ? scene.width(utf16(displayed)) : 0;
}

void CDrawContext::applyClip() {}

void CDrawContext::setClipRect(const CRect& clip) {
    state.clip = clip;
    state.clip.bound(surfaceRect);
}

void CDrawContext::resetClipRect() { setClipRect(surfaceRect); }

void CDrawContext::saveGlobalState() {
    if (savedCount < kMaxSaved) saved[savedCount] = state;
    ++savedCount;
}

void CDrawContext::restoreGlobalState() {
    if (savedCount == 0) return;
    --savedCount;
    if (savedCount >= kMaxSaved) return;
    state = saved[savedCount];
}

}  // namespace vexal
