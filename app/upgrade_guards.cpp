#include "app/upgrade_guards.h"

void ShutdownBlock::Refuse(HWND window) {
    if (m_window)
        return;
    m_window = window;
    // Refused even when the reason cannot be given: the router matters more.
    m_reasonGiven = ::ShutdownBlockReasonCreate(window, kReason) != FALSE;
}

void ShutdownBlock::Allow() {
    if (m_reasonGiven && ::IsWindow(m_window))
        ::ShutdownBlockReasonDestroy(m_window);
    m_window = nullptr;
    m_reasonGiven = false;
}

void KeepAwake::Hold() {
    // ES_CONTINUOUS: the request stands until this thread clears it.
    if (!m_held)
        m_held = ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void KeepAwake::Release() {
    if (m_held)
        ::SetThreadExecutionState(ES_CONTINUOUS);
    m_held = false;
}
