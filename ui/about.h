// "Info": name, version, purpose, build date and the Qt version in use.
#pragma once

#include <QDialog>

namespace ui {

inline constexpr const char* kProductName = "Tervana";
inline constexpr const char* kVersionText = "Version: V2.1";

class TDlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit TDlgAbout(QWidget* parent = nullptr);
};

} // namespace ui
