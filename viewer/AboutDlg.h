// The About box: the program's icon, name and version, one line about it,
// and an OK button that ends it.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static const char* const kCaption;
    static const char* const kVersionLine;
    static const char* const kSecondLine;
};
