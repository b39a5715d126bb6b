#pragma once

#include <QDialog>

namespace orvex {

inline constexpr const char* kProductTitle = "Tolvane Orvex 1.3";
inline constexpr const char* kVersion = "1.3";
inline constexpr const char* kBuild = "190";

// "About...": the product picture, title, version and build.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent);
};

} // namespace orvex
