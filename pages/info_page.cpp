#include "pages/info_page.h"

#include <utility>

#include "res/resource.h"

InfoPage::InfoPage(Layout layout)
    : WizardPage(layout.templateId), m_labels(new SkinnedLabel[layout.labelIds.size()]),
      m_buttons(new CHoverButtonEx[layout.buttons.size()]), m_layout(std::move(layout)) {
    m_controls.emplace_back(IDC_BACKGROUND, m_background, m_layout.section, "Background");
    for (size_t i = 0; i < m_layout.buttons.size(); ++i)
        m_controls.emplace_back(m_layout.buttons[i].id, m_buttons[i], "Control",
                                m_layout.buttons[i].entry);
    AddLabelRows(m_controls, m_layout.section, m_layout.labelIds.data(), m_labels.get(),
                 static_cast<int>(m_layout.labelIds.size()));
}

void InfoPage::OnControlsSkinned() {
    SetTabOrder(m_layout.tabOrder);
}

BOOL InfoPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        for (const Button& button : m_layout.buttons) {
            if (button.id == LOWORD(wParam)) {
                NavigateWizard(button.navigate);
                return TRUE;
            }
        }
    }
    return WizardPage::OnCommand(wParam, lParam);
}
