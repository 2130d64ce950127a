/* Measurement samples made under Wine (built and run by scripts/wine-probe.sh):
 *   wine_probe.exe record OUTDIR    text samples recorded by GDI: raster faces at many heights,
 *                                   turned text with each alignment, TA_UPDATECP
 *   wine_probe.exe gprecord OUTDIR  small EMF+ files recorded by GDI+
 *   wine_probe.exe gpplay IN.emf OUT.bmp  the file played by GDI+ into (W+1) x (H+1) pixels,
 *                                   W and H from the frame as the reference renderer takes them */
#include <windows.h>
#include <gdiplus.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

static const wchar_t *g_out;

static HDC begin(const wchar_t *name, int cw, int ch, HDC *ref_out)
{
    wchar_t path[MAX_PATH];
    HDC ref = GetDC(NULL);
    RECT frame;
    int resx = GetDeviceCaps(ref, HORZRES), resy = GetDeviceCaps(ref, VERTRES);
    int mmx = GetDeviceCaps(ref, HORZSIZE), mmy = GetDeviceCaps(ref, VERTSIZE);
    frame.left = 0;
    frame.top = 0;
    frame.right = (LONG)floor(cw * mmx * 100.0 / resx + 0.5);
    frame.bottom = (LONG)floor(ch * mmy * 100.0 / resy + 0.5);
    swprintf(path, MAX_PATH, L"%ls\\%ls", g_out, name);
    *ref_out = ref;
    return CreateEnhMetaFileW(ref, path, &frame, L"probe\0sample\0");
}

static void finish(HDC dc, HDC ref)
{
    HENHMETAFILE h = CloseEnhMetaFile(dc);
    ReleaseDC(NULL, ref);
    if (h) DeleteEnhMetaFile(h);
}

static void cross(HDC dc, int x, int y)
{
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x - 4, y, NULL);
    LineTo(dc, x + 5, y);
    MoveToEx(dc, x, y - 4, NULL);
    LineTo(dc, x, y + 5);
    SelectObject(dc, old);
    DeleteObject(pen);
}

static void raster(const wchar_t *file, const wchar_t *face)
{
    static const int heights[] = {-6, -8, -10, -11, -12, -13, -14, -16, -18, -20, -22, -24,
                                  -26, -30, -32, -40, 8, 12, 16, 20, 24, 30, 37};
    HDC ref, dc = begin(file, 420, 760, &ref);
    int y = 4, i;
    wchar_t s[128];
    for (i = 0; i < (int)(sizeof heights / sizeof *heights); i++) {
        HFONT f = CreateFontW(heights[i], 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, face);
        HGDIOBJ old = SelectObject(dc, f);
        swprintf(s, 128, L"%d Hxg Wim 0123", heights[i]);
        ExtTextOutW(dc, 4, y, 0, NULL, s, (UINT)wcslen(s), NULL);
        y += (heights[i] < 0 ? -heights[i] : heights[i]) * 3 / 2 + 4;
        SelectObject(dc, old);
        DeleteObject(f);
    }
    {
        /* bold, italic, underline, a width, and escapement at one size */
        int x = 4;
        struct { int w, wt, it, ul, esc; const wchar_t *t; } v[] = {
            {0, FW_BOLD, 0, 0, 0, L"Bold"}, {0, FW_NORMAL, 1, 0, 0, L"Ital"}, {0, FW_NORMAL, 0, 1, 0, L"Undl"},
            {10, FW_NORMAL, 0, 0, 0, L"Wide"}, {0, FW_NORMAL, 0, 0, 900, L"Rot"}};
        for (i = 0; i < 5; i++) {
            HFONT f = CreateFontW(-13, v[i].w, v[i].esc, v[i].esc, v[i].wt, v[i].it, v[i].ul, 0, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, face);
            HGDIOBJ old = SelectObject(dc, f);
            ExtTextOutW(dc, x, 740, 0, NULL, v[i].t, (UINT)wcslen(v[i].t), NULL);
            x += 70;
            SelectObject(dc, old);
            DeleteObject(f);
        }
    }
    finish(dc, ref);
}

static void rotated(const wchar_t *file, int esc, const wchar_t *face, int height)
{
    static const UINT hor[] = {TA_LEFT, TA_CENTER, TA_RIGHT};
    static const UINT ver[] = {TA_TOP, TA_BASELINE, TA_BOTTOM};
    HDC ref, dc = begin(file, 420, 420, &ref);
    HFONT f = CreateFontW(height, 0, esc, esc, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, face);
    int i, j;
    SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    for (j = 0; j < 3; j++)
        for (i = 0; i < 3; i++) {
            int x = 70 + 140 * i, y = 70 + 140 * j;
            SetTextAlign(dc, hor[i] | ver[j]);
            ExtTextOutW(dc, x, y, 0, NULL, L"Align", 5, NULL);
            cross(dc, x, y);
        }
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
    finish(dc, ref);
}

static void updatecp(const wchar_t *file, int esc)
{
    static const UINT hor[] = {TA_LEFT, TA_CENTER, TA_RIGHT};
    HDC ref, dc = begin(file, 420, 420, &ref);
    HFONT f = CreateFontW(-20, 0, esc, esc, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, L"Arial");
    int i;
    SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    for (i = 0; i < 3; i++) {
        int x = 60 + 150 * i, y = 330 - 20 * i;
        SetTextAlign(dc, hor[i] | TA_BASELINE | TA_UPDATECP);
        MoveToEx(dc, x, y, NULL);
        cross(dc, x, y);
        ExtTextOutW(dc, 0, 0, 0, NULL, L"One", 3, NULL);
        ExtTextOutW(dc, 0, 0, 0, NULL, L"Two", 3, NULL);
        /* the current position after the two strings */
        {
            POINT p;
            GetCurrentPositionEx(dc, &p);
            SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
            LineTo(dc, p.x, p.y - 60);
        }
    }
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
    finish(dc, ref);
}

/* ---- GDI+ ---- */
static ULONG_PTR g_tok;

static GpGraphics *gp_begin(const wchar_t *name, EmfType type, GpMetafile **mf, HDC *ref)
{
    wchar_t path[MAX_PATH];
    GpRectF frame = {0, 0, 200, 150};
    GpGraphics *g = NULL;
    swprintf(path, MAX_PATH, L"%ls\\%ls", g_out, name);
    *ref = GetDC(NULL);
    if (GdipRecordMetafileFileName(path, *ref, type, &frame, MetafileFrameUnitPixel, L"probe", mf) != Ok) {
        fwprintf(stderr, L"record %ls failed\n", name);
        return NULL;
    }
    GdipGetImageGraphicsContext((GpImage *)*mf, &g);
    return g;
}

static void gp_end(GpGraphics *g, GpMetafile *mf, HDC ref)
{
    GdipDeleteGraphics(g);
    GdipDisposeImage((GpImage *)mf);
    ReleaseDC(NULL, ref);
}

static void gp_samples(void)
{
    GpMetafile *mf;
    HDC ref;
    GpGraphics *g;
    GpPen *pen;
    GpSolidFill *br;
    GpLineGradient *lg;
    GpHatch *hb;
    GpPath *path;
    GpFontFamily *fam;
    GpFont *font;
    GpStringFormat *fmt;
    RectF lay;
    GpPointF p1 = {10, 10}, p2 = {190, 10};
    int k;

    for (k = 0; k < 2; k++) {
        /* shapes: solid fills, a wide pen, dashes, a Bezier, antialiased */
        g = gp_begin(k ? L"gp_shapes_dual.emf" : L"gp_shapes.emf", k ? EmfTypeEmfPlusDual : EmfTypeEmfPlusOnly,
                     &mf, &ref);
        GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
        GdipCreateSolidFill(0xFF3060C0, &br);
        GdipFillEllipse(g, (GpBrush *)br, 10, 10, 80, 60);
        GdipCreatePen1(0xFFC02020, 4, UnitPixel, &pen);
        GdipDrawRectangle(g, pen, 110, 15, 70, 50);
        GdipSetPenDashStyle(pen, DashStyleDash);
        GdipSetPenWidth(pen, 2);
        GdipDrawLine(g, pen, 10, 90, 190, 90);
        GdipSetPenDashStyle(pen, DashStyleSolid);
        GdipDrawBezier(g, pen, 10, 140, 60, 90, 140, 150, 190, 100);
        GdipDeletePen(pen);
        GdipDeleteBrush((GpBrush *)br);
        gp_end(g, mf, ref);
    }

    /* brushes: linear gradient, hatch, path gradient, semi-transparent fill */
    g = gp_begin(L"gp_brushes.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    GdipCreateLineBrush(&p1, &p2, 0xFFFF0000, 0xFF0000FF, WrapModeTile, &lg);
    GdipFillRectangle(g, (GpBrush *)lg, 10, 10, 180, 40);
    GdipCreateHatchBrush(HatchStyleDiagonalCross, 0xFF008000, 0xFFFFFFC0, &hb);
    GdipFillRectangle(g, (GpBrush *)hb, 10, 60, 80, 80);
    {
        GpPathGradient *pg;
        GpRectF r = {110, 60, 80, 80};
        ARGB surround = 0xFF000080;
        INT n = 1;
        GdipCreatePath(FillModeAlternate, &path);
        GdipAddPathEllipse(path, r.X, r.Y, r.Width, r.Height);
        GdipCreatePathGradientFromPath(path, &pg);
        GdipSetPathGradientCenterColor(pg, 0xFFFFFF00);
        GdipSetPathGradientSurroundColorsWithCount(pg, &surround, &n);
        GdipFillPath(g, (GpBrush *)pg, path);
        GdipDeleteBrush((GpBrush *)pg);
        GdipDeletePath(path);
    }
    GdipCreateSolidFill(0x8000C000, &br);
    GdipFillRectangle(g, (GpBrush *)br, 60, 30, 100, 60);
    GdipDeleteBrush((GpBrush *)br);
    GdipDeleteBrush((GpBrush *)hb);
    GdipDeleteBrush((GpBrush *)lg);
    gp_end(g, mf, ref);

    /* text: DrawString in a layout rectangle, centred */
    g = gp_begin(L"gp_text.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    GdipSetTextRenderingHint(g, TextRenderingHintSingleBitPerPixelGridFit);
    GdipCreateFontFamilyFromName(L"Arial", NULL, &fam);
    GdipCreateFont(fam, 20, FontStyleRegular, UnitPixel, &font);
    GdipCreateSolidFill(0xFF000000, &br);
    lay.X = 10; lay.Y = 10; lay.Width = 180; lay.Height = 40;
    GdipDrawString(g, L"Hello, world", -1, font, &lay, NULL, (GpBrush *)br);
    GdipCreateStringFormat(0, LANG_NEUTRAL, &fmt);
    GdipSetStringFormatAlign(fmt, StringAlignmentCenter);
    lay.Y = 60; lay.Height = 80;
    GdipDrawString(g, L"Centred text that wraps", -1, font, &lay, fmt, (GpBrush *)br);
    GdipDeleteStringFormat(fmt);
    GdipDeleteBrush((GpBrush *)br);
    GdipDeleteFont(font);
    GdipDeleteFontFamily(fam);
    gp_end(g, mf, ref);

    /* transforms and clipping */
    g = gp_begin(L"gp_transform_clip.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    GdipSetClipRectI(g, 20, 20, 160, 110, CombineModeReplace);
    GdipTranslateWorldTransform(g, 100, 75, MatrixOrderPrepend);
    GdipRotateWorldTransform(g, 30, MatrixOrderPrepend);
    GdipCreateSolidFill(0xFFE08000, &br);
    GdipFillRectangle(g, (GpBrush *)br, -90, -30, 180, 60);
    GdipCreatePen1(0xFF000000, 1, UnitPixel, &pen);
    GdipResetWorldTransform(g);
    GdipDrawEllipse(g, pen, 5, 5, 190, 140);
    GdipDeletePen(pen);
    GdipDeleteBrush((GpBrush *)br);
    gp_end(g, mf, ref);

    /* pens: caps, joins, a compound-free wide polyline, and a dash-dot pattern */
    g = gp_begin(L"gp_pens.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    GdipSetSmoothingMode(g, SmoothingModeNone);
    GdipCreatePen1(0xFF000080, 10, UnitPixel, &pen);
    GdipSetPenLineCap197819(pen, LineCapRound, LineCapSquare, DashCapFlat);
    GdipSetPenLineJoin(pen, LineJoinBevel);
    {
        GpPointF pts[] = {{20, 120}, {60, 30}, {100, 120}, {140, 30}};
        GdipDrawLines(g, pen, pts, 4);
    }
    GdipSetPenWidth(pen, 1);
    GdipSetPenDashStyle(pen, DashStyleDashDot);
    GdipSetPenLineCap197819(pen, LineCapFlat, LineCapFlat, DashCapFlat);
    GdipDrawLine(g, pen, 10, 140, 190, 140);
    GdipCreatePen1(0xFF008000, 6, UnitPixel, &pen);
    GdipSetPenLineCap197819(pen, LineCapArrowAnchor, LineCapDiamondAnchor, DashCapFlat);
    GdipDrawLine(g, pen, 160, 20, 160, 120);
    GdipDeletePen(pen);
    gp_end(g, mf, ref);

    /* gradients: linear at an angle, with a blend, with preset colours, gamma corrected,
       flipped; a path gradient with a blend and focus scales */
    g = gp_begin(L"gp_gradients.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    {
        GpRectF r = {10, 10, 60, 40};
        REAL factors[3] = {0.0f, 1.0f, 0.0f}, positions[3] = {0.0f, 0.5f, 1.0f};
        ARGB presets[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
        ARGB surround = 0xFFFF0000;
        INT n = 1;
        GpPointF star[5] = {{150, 100}, {190, 130}, {170, 180}, {130, 180}, {110, 130}};
        GpPathGradient *pg;
        GdipCreateLineBrushFromRectWithAngle(&r, 0xFFFF0000, 0xFF0000FF, 30, TRUE, WrapModeTile, &lg);
        GdipFillRectangle(g, (GpBrush *)lg, 10, 10, 90, 60);
        GdipDeleteBrush((GpBrush *)lg);
        r.X = 110;
        GdipCreateLineBrushFromRect(&r, 0xFFFF0000, 0xFF0000FF, LinearGradientModeVertical, WrapModeTile, &lg);
        GdipSetLineBlend(lg, factors, positions, 3);
        GdipFillRectangle(g, (GpBrush *)lg, 110, 10, 80, 60);
        GdipDeleteBrush((GpBrush *)lg);
        r.X = 10; r.Y = 80; r.Width = 40;
        GdipCreateLineBrushFromRect(&r, 0xFF000000, 0xFF000000, LinearGradientModeHorizontal, WrapModeTileFlipX, &lg);
        GdipSetLinePresetBlend(lg, presets, positions, 3);
        GdipFillRectangle(g, (GpBrush *)lg, 10, 80, 90, 30);
        GdipDeleteBrush((GpBrush *)lg);
        r.Y = 120; r.Width = 90;
        GdipCreateLineBrushFromRect(&r, 0xFF000000, 0xFFFFFFFF, LinearGradientModeHorizontal, WrapModeTile, &lg);
        GdipSetLineGammaCorrection(lg, TRUE);
        GdipFillRectangle(g, (GpBrush *)lg, 10, 120, 90, 30);
        GdipDeleteBrush((GpBrush *)lg);
        GdipCreatePathGradient(star, 5, WrapModeClamp, &pg);
        GdipSetPathGradientCenterColor(pg, 0xFF0000FF);
        GdipSetPathGradientSurroundColorsWithCount(pg, &surround, &n);
        GdipSetPathGradientBlend(pg, factors, positions, 3);
        GdipSetPathGradientFocusScales(pg, 0.3f, 0.3f);
        GdipFillRectangle(g, (GpBrush *)pg, 110, 100, 80, 80);
        GdipDeleteBrush((GpBrush *)pg);
    }
    gp_end(g, mf, ref);

    /* pen extras: a compound pen, round dash caps, an inset pen and a sharp mitred corner */
    g = gp_begin(L"gp_pens_extra.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    GdipSetSmoothingMode(g, SmoothingModeNone);
    {
        REAL bands[] = {0.0f, 0.3f, 0.7f, 1.0f};
        GpPointF zig[] = {{15, 60}, {45, 15}, {75, 60}};
        GdipCreatePen1(0xFF0000C0, 12, UnitPixel, &pen);
        GdipSetPenCompoundArray(pen, bands, 4);
        GdipDrawLines(g, pen, zig, 3);
        GdipDeletePen(pen);
    }
    GdipCreatePen1(0xFFC00000, 6, UnitPixel, &pen);
    GdipSetPenDashStyle(pen, DashStyleDot);
    GdipSetPenDashCap197819(pen, DashCapRound);
    GdipDrawLine(g, pen, 100, 50, 190, 50);
    GdipDeletePen(pen);
    GdipCreatePen1(0xFF000000, 8, UnitPixel, &pen);
    GdipSetPenMode(pen, PenAlignmentInset);
    GdipDrawRectangle(g, pen, 20, 85, 60, 45);
    GdipDeletePen(pen);
    {
        GpPointF vee[] = {{110, 140}, {135, 75}, {160, 140}};
        GdipCreatePen1(0xFF800080, 10, UnitPixel, &pen);
        GdipSetPenMiterLimit(pen, 2);
        GdipDrawLines(g, pen, vee, 3);
        GdipDeletePen(pen);
    }
    gp_end(g, mf, ref);

    /* a custom cap made of a path (Wine's recorder writes the custom cap value without the
     * cap, and its player then fails on the file) */
    g = gp_begin(L"gp_pens_custom_cap.emf", EmfTypeEmfPlusOnly, &mf, &ref);
    {
        GpPath *capPath;
        GpCustomLineCap *cap;
        GpPointF tri[] = {{-1.5f, 0}, {1.5f, 0}, {0, 2.5f}};
        GdipCreatePath(FillModeAlternate, &capPath);
        GdipAddPathPolygon(capPath, tri, 3);
        GdipCreateCustomLineCap(capPath, NULL, LineCapFlat, 0, &cap);
        GdipCreatePen1(0xFF008000, 4, UnitPixel, &pen);
        GdipSetPenCustomEndCap(pen, cap);
        GdipDrawLine(g, pen, 100, 20, 170, 20);
        GdipDeletePen(pen);
        GdipDeleteCustomLineCap(cap);
        GdipDeletePath(capPath);
    }
    gp_end(g, mf, ref);
}

static int gp_play(const wchar_t *in, const wchar_t *out)
{
    HENHMETAFILE h = GetEnhMetaFileW(in);
    ENHMETAHEADER hd;
    float dx, dy, mx, my, l, t, r, b;
    int W, H, x, y;
    GpMetafile *mf = NULL;
    GpBitmap *bmp = NULL;
    GpGraphics *g = NULL;
    FILE *f;
    if (!h) return 10;
    GetEnhMetaFileHeader(h, sizeof hd, &hd);
    DeleteEnhMetaFile(h);
    dx = (float)hd.szlDevice.cx; dy = (float)hd.szlDevice.cy;
    mx = (float)hd.szlMillimeters.cx; my = (float)hd.szlMillimeters.cy;
    l = hd.rclFrame.left * dx / (mx * 100); r = hd.rclFrame.right * dx / (mx * 100);
    t = hd.rclFrame.top * dy / (my * 100); b = hd.rclFrame.bottom * dy / (my * 100);
    W = (int)rintf(fabsf(l - r)); H = (int)rintf(fabsf(t - b));
    if (GdipCreateMetafileFromFile(in, &mf) != Ok) return 11;
    GdipCreateBitmapFromScan0(W + 1, H + 1, 0, PixelFormat32bppARGB, NULL, &bmp);
    GdipGetImageGraphicsContext((GpImage *)bmp, &g);
    GdipGraphicsClear(g, 0xFFFFFFFF);
    if (GdipDrawImageRectI(g, (GpImage *)mf, 0, 0, W, H) != Ok) fwprintf(stderr, L"draw failed\n");
    GdipDeleteGraphics(g);
    f = _wfopen(out, L"wb");
    if (!f) return 14;
    {
        int stride = (W + 1) * 4, size = stride * (H + 1);
        unsigned char hdr[54] = {'B', 'M'};
        *(int *)(hdr + 2) = 54 + size; *(int *)(hdr + 10) = 54; *(int *)(hdr + 14) = 40;
        *(int *)(hdr + 18) = W + 1; *(int *)(hdr + 22) = -(H + 1);
        *(short *)(hdr + 26) = 1; *(short *)(hdr + 28) = 32;
        fwrite(hdr, 1, 54, f);
        for (y = 0; y <= H; y++)
            for (x = 0; x <= W; x++) {
                ARGB c;
                GdipBitmapGetPixel(bmp, x, y, &c);
                fwrite(&c, 4, 1, f);
            }
    }
    fclose(f);
    wprintf(L"ok %ls W=%d H=%d\n", out, W, H);
    return 0;
}

int wmain(int argc, wchar_t **argv)
{
    GdiplusStartupInput in = {1, NULL, FALSE, FALSE};
    if (argc < 3) return 1;
    g_out = argv[2];
    if (!wcscmp(argv[1], L"record")) {
        static const wchar_t *faces[] = {L"MS Sans Serif", L"Courier", L"System", L"Fixedsys",
                                         L"Small Fonts", L"Terminal", L"MS Serif"};
        int i;
        for (i = 0; i < 7; i++) {
            wchar_t name[64];
            swprintf(name, 64, L"raster_%d.emf", i);
            raster(name, faces[i]);
        }
        rotated(L"rot_0.emf", 0, L"Arial", -20);
        rotated(L"rot_300.emf", 300, L"Arial", -20);
        rotated(L"rot_900.emf", 900, L"Arial", -20);
        rotated(L"rot_2250.emf", 2250, L"Arial", -20);
        rotated(L"rot_300_pos.emf", 300, L"Arial", 24);
        rotated(L"rot_300_sans.emf", 300, L"MS Sans Serif", -13);
        updatecp(L"cp_0.emf", 0);
        updatecp(L"cp_300.emf", 300);
        return 0;
    }
    GdiplusStartup(&g_tok, &in, NULL);
    if (!wcscmp(argv[1], L"gprecord")) {
        gp_samples();
        return 0;
    }
    if (!wcscmp(argv[1], L"gpplay") && argc == 4) return gp_play(argv[2], argv[3]);
    return 1;
}
