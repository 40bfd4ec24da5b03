#include "forms/parameter_dialog.h"

#include <utility>

namespace velorin::forms {

ParameterDialog::ParameterDialog(const ui::WindowLayout& layout,
                                 std::span<const std::string_view> tabOrder)
    : m_window(layout), m_tabOrder(tabOrder) {
    m_window.OnLoad([this] { OnLoad(); });
    m_window.OnUnload([this] { m_application.reset(); });
    cmdOK().OnClick([this] { OnOk(); });
    cmdCancel().OnClick([this] { OnCancel(); });
    cmdHelp().OnClick([this] { OnHelp(); });
}

ParameterDialog::~ParameterDialog() {
    if (m_window.Loaded()) m_window.Unload();
}

void ParameterDialog::SetApplication(std::shared_ptr<host::IApplication> application) {
    m_application = std::move(application);
}

void ParameterDialog::Accept() {
    m_userCancel = false;
    m_window.Hide();
}

void ParameterDialog::OnLoad() {
    for (std::size_t i = 0; i < m_tabOrder.size(); ++i) {
        m_window.Control(m_tabOrder[i]).SetTabIndex(static_cast<int>(i));
    }
    m_userCancel = true;
}

void ParameterDialog::OnCancel() {
    m_userCancel = true;
    m_window.Hide();
}

}  // namespace velorin::forms
