#pragma once
// Controls made the same way on the tag windows: named as the handlers and
// tests look them up, and buttons that Enter in a field never presses.

#include <QLineEdit>
#include <QPushButton>
#include <QString>

inline QLineEdit* NewEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

inline QPushButton* NewButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter in a field is OK, never the button that happens to come first.
    button->setAutoDefault(false);
    return button;
}
