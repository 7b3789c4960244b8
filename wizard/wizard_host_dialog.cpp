#include "wizard/wizard_host_dialog.h"

#include "res/resource.h"

void WizardHostDialog::AddPage(WizardPage* page, int id) {
    m_pageList.AddTail(page);
    page->m_pageId = id;
}

WizardPage* WizardHostDialog::GetCurrentPage() const {
    for (POSITION at = m_pageList.GetHeadPosition(); at;) {
        auto* page = static_cast<WizardPage*>(m_pageList.GetNext(at));
        if (page->m_active)
            return page;
    }
    return nullptr;
}

WizardPage* WizardHostDialog::FindPageById(int id) const {
    for (POSITION at = m_pageList.GetHeadPosition(); at;) {
        auto* page = static_cast<WizardPage*>(m_pageList.GetNext(at));
        if (page->m_pageId == id)
            return page;
    }
    return nullptr;
}

int WizardHostDialog::GetPageIndex(const WizardPage* page) const {
    int index = 0;
    for (POSITION at = m_pageList.GetHeadPosition(); at; ++index)
        if (m_pageList.GetNext(at) == page)
            return index;
    return -1;
}

int WizardHostDialog::GetCurrentPageIndex() const {
    int index = 0;
    for (POSITION at = m_pageList.GetHeadPosition(); at; ++index)
        if (static_cast<WizardPage*>(m_pageList.GetNext(at))->m_active)
            return index;
    return -1;
}

WizardPage* WizardHostDialog::PageAt(int index) const {
    if (index < 0)
        return nullptr;
    POSITION at = m_pageList.GetHeadPosition();
    for (int i = 0; at; ++i) {
        auto* page = static_cast<WizardPage*>(m_pageList.GetNext(at));
        if (i == index)
            return page;
    }
    return nullptr;
}

BOOL WizardHostDialog::ActivatePage(WizardPage* page) {
    if (!page)
        return FALSE;
    if (!page->m_created) {
        // A page built ahead has its window already; what it held back of
        // its skin comes now.
        if (!page->m_hWnd && !page->Create(static_cast<UINT>(page->m_pageId), this))
            return FALSE;
        page->FinishBuilding();
        page->m_created = TRUE;
        page->m_host = this;
        if (!page->OnPageCreate())
            return FALSE;
    }
    if (!HideCurrentPage())
        return FALSE;

    RECT placeholder{0, 0, 0, 0};
    if (HWND anchor = GetDlgItem(m_placeholderId)) {
        ::GetWindowRect(anchor, &placeholder);
        ScreenToClient(&placeholder);
    }
    page->SetWindowPos(nullptr, placeholder.left, placeholder.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    page->EnableWindow(true);
    page->ShowWindow(SW_SHOW);
    page->Invalidate(true);
    page->UpdateWindow();
    // No page is current while the page prepares itself.
    page->OnSetActive();
    page->m_active = TRUE;
    return TRUE;
}

BOOL WizardHostDialog::HideCurrentPage() {
    WizardPage* current = GetCurrentPage();
    if (!current)
        return TRUE;
    if (!current->OnKillActive())
        return FALSE;
    current->ShowWindow(SW_HIDE);
    current->m_active = FALSE;
    return TRUE;
}

BOOL WizardHostDialog::DestroyPage(WizardPage* page) {
    if (!page || !page->m_hWnd)
        return TRUE;
    if (!page->m_created) {
        // Built ahead and never shown: there is nothing to ask it.
        page->DestroyWindow();
        return TRUE;
    }
    if (!page->OnKillActive())
        return FALSE;
    page->OnPageDestroy();
    page->DestroyWindow();
    page->m_created = FALSE;
    return TRUE;
}

BOOL WizardHostDialog::ActivateFirstPage() {
    if (!HideCurrentPage())
        return FALSE;
    WizardPage* first = PageAt(0);
    return first ? ActivatePage(first) : FALSE;
}

WizardPage* WizardHostDialog::NeighbourTarget(int step, int answer) const {
    if (answer == -1)
        return nullptr;
    if (answer != 0)
        return FindPageById(answer);
    return PageAt(GetCurrentPageIndex() + step);
}

void WizardHostDialog::OnBack() {
    WizardPage* current = GetCurrentPage();
    if (!current || GetPageIndex(current) == 0)
        return;
    if (WizardPage* target = NeighbourTarget(-1, current->GetBackPageId()))
        ActivatePage(target);
}

void WizardHostDialog::OnNext() {
    WizardPage* current = GetCurrentPage();
    if (!current)
        return;
    if (WizardPage* target = NeighbourTarget(+1, current->GetNextPageId()))
        ActivatePage(target);
}

void WizardHostDialog::OnCancel() {
    for (POSITION at = m_pageList.GetHeadPosition(); at;) {
        auto* page = static_cast<WizardPage*>(m_pageList.GetNext(at));
        if (page->m_created && !page->OnQueryCancel())
            return;
    }
    CDialog::OnCancel();
}

BOOL WizardHostDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    // Tab then also walks into the controls of the child pages.
    ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    ActivateFirstPage();
    m_initialised = TRUE;
    m_backgroundBrush.DeleteObject();
    m_backgroundBrush.CreateSolidBrush(RGB(103, 125, 210));
    return TRUE;
}

BOOL WizardHostDialog::OnIdle(LONG) {
    const int current = GetCurrentPageIndex();
    WizardPage* next = current >= 0 ? PageAt(current + 1) : nullptr;
    if (!next || next->m_created || next->Built() || !next->BuildsAhead() || next->AheadFailed())
        return FALSE;
    if (!next->m_hWnd)
        return next->CreateAhead(this) ? TRUE : FALSE;
    return next->LoadNextSkinAhead() ? TRUE : FALSE;
}

BOOL WizardHostDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Enter ends nothing: Exit and Escape are the ways out. Enter on a
    // focused button presses that button.
    if (LOWORD(wParam) == IDOK) {
        PressFocusedButton();
        return TRUE;
    }
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_MAIN_BACK:
            OnBack();
            return TRUE;
        case IDC_MAIN_NEXT:
            OnNext();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

HBRUSH WizardHostDialog::OnCtlColor(CDC* dc, CWnd*, UINT nCtlColor) {
    // Static texts in a paler colour than the other controls.
    const COLORREF text = nCtlColor == CTLCOLOR_STATIC ? RGB(205, 205, 238) : RGB(255, 255, 255);
    return ColourControl(dc, nCtlColor, text, RGB(102, 102, 204), m_backgroundBrush);
}

LRESULT WizardHostDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return Default();
    default:
        return CDialog::WindowProc(message, wParam, lParam);
    }
}

void WizardHostDialog::OnLButtonDown(LPARAM point) {
    Default();
    // Grabbing any free point of the surface moves the window, as if its
    // (absent) caption had been grabbed.
    if (m_initialised)
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, point);
}

void WizardHostDialog::OnDestroy() {
    for (POSITION at = m_pageList.GetHeadPosition(); at;)
        DestroyPage(static_cast<WizardPage*>(m_pageList.GetNext(at)));
}
