// SkinnedBitmap: a static control that shows a picture from a bitmap file
// (or a bitmap resource) stretched over its whole client area, with its
// window text drawn transparently on top.
#pragma once
#include <windows.h>

#include "framework/afx_handle.h"
#include "framework/afx_controls.h"

class SkinnedBitmap : public CStatic {
public:
    SkinnedBitmap() = default;

    // Makes the control owner-drawn, so that the parent sends WM_DRAWITEM.
    void PreSubclassWindow() override;

    // Reads the file and shows it; FALSE (and nothing changed) when the file
    // cannot be read. Also FALSE when the system refused the pixel data,
    // in which case the control is left without a picture.
    BOOL LoadBitmapFile(const CString& path);
    // Takes ownership of bitmap (null allowed) and shows it. Returns the
    // size of the bitmap's BITMAP record, 0 for a null or invalid handle.
    int SetBitmapHandle(HBITMAP bitmap);
    // A bitmap resource of the program, mapped to the current 3-D colours.
    BOOL LoadBitmapResource(UINT id);
    // Reads the picture again from where it came from (resource or file).
    BOOL ReloadBitmap();

    // Draws the window text over the picture.
    void DrawItem(LPDRAWITEMSTRUCT item) override;

    HBITMAP GetBitmapHandle() const { return m_picture.Get(); }
    const CString& GetFilePath() const { return m_filePath; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL OnEraseBkgnd(HDC dc);
    void OnSysColorChange();

    UniqueBitmap m_picture;
    BITMAP m_metrics{};
    int m_resourceId = -1;
    CString m_filePath;
};
