// Drawing into the editor's back buffer (a cairo image surface): filled and
// stroked rectangles, text in a named font, clipping, and the current fill,
// frame and font colours and line width, which saveGlobalState and
// restoreGlobalState keep around a piece of drawing. Pixel-exact: shapes are
// drawn without antialiasing on whole pixels.
//
// Text always has a font (the toolkit's standard one unless a view sets its
// own) and is handed to cairo in its display form (DisplayText.h), so no
// text can put the cairo context into an error state; should the context
// ever be in one, recover() makes a new one on the same surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CBaseObject.h"
#include "GuiTypes.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_font_face cairo_font_face_t;

namespace vexal {

// A font by family name and size in pixels; the face is made once.
class CFontDesc : public CBaseObject {
public:
    // The toolkit's standard font: "Arial" at 10 pixels.
    static constexpr const char* kStandardFamily = "Arial";
    static constexpr CCoord kStandardSize = 10;

    CFontDesc(const char* family, CCoord size, bool bold = false);
    ~CFontDesc() override;
    CCoord getSize() const { return size; }
    cairo_font_face_t* getFace() const { return face; }

private:
    cairo_font_face_t* face = nullptr;
    CCoord size;
};

enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

class CDrawContext {
public:
    explicit CDrawContext(cairo_surface_t* target);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    cairo_t* getCairo() const { return cr; }

    void setFillColor(const CColor& c) { state.fill = c; }
    CColor getFillColor() const { return state.fill; }
    void setFrameColor(const CColor& c) { state.frame = c; }
    CColor getFrameColor() const { return state.frame; }
    void setFontColor(const CColor& c) { state.fontColor = c; }
    CColor getFontColor() const { return state.fontColor; }
    void setLineWidth(CCoord w) { state.lineWidth = w; }
    CCoord getLineWidth() const { return state.lineWidth; }
    // Null: the standard font.
    void setFont(CFontDesc* font) { state.font = font ? font : standardFont; }
    CFontDesc* getFont() const { return state.font; }

    // A stroke of width w lies on the w pixels just inside the rectangle.
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    // Text on one line, vertically centred in rect, clipped to it. Text wider
    // than rect is shown from its start, whatever the alignment.
    void drawString(const char* text, const CRect& rect, CHoriTxtAlign align = kCenterText);
    // Text on one line starting at x, vertically centred in rect, clipped to it.
    void drawStringFrom(const char* text, const CRect& rect, CCoord x);
    CCoord getStringWidth(const char* text);

    // False once cairo has reported an error on the context; recover() then
    // replaces it with a new one (colours, font and clip back to their
    // defaults) and answers true.
    bool isHealthy() const;
    bool recover();

    void setClipRect(const CRect& clip);
    CRect getClipRect() const { return state.clip; }
    void resetClipRect();

    // Keeps colours, line width, font and clip; at most kMaxSaved deep.
    void saveGlobalState();
    void restoreGlobalState();

private:
    struct State {
        CColor fill = kWhiteCColor;
        CColor frame = kBlackCColor;
        CColor fontColor = kBlackCColor;
        CCoord lineWidth = 1;
        CFontDesc* font = nullptr;
        CRect clip;
    };
    static constexpr int kMaxSaved = 8;
    static constexpr CCoord kOverflowInset = 3;  // text that does not fit starts this far in

    void applyClip();
    void setSource(const CColor& c);
    void createCairo();
    // The display form of text, in displayed (at least kDisplayBytes long).
    static constexpr size_t kDisplayBytes = 1024;
    void showText(const char* displayed, CCoord x, const CRect& rect);
    CCoord measure(const char* displayed);

    cairo_surface_t* target;
    CFontDesc* standardFont;
    cairo_t* cr = nullptr;
    CRect surfaceRect;
    State state;
    State saved[kMaxSaved];
    int savedCount = 0;
};

}  // namespace vexal
