#pragma once

#include <optional>

#include <QDialog>

#include "app/platform.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace plotvane::qtui {

// "Make classes from one picture": the number of classes, the
// magnifications between them and the folder, with the sizes each class
// will have shown again at every change.
class ClassesDialog : public QDialog {
    Q_OBJECT
public:
    ClassesDialog(const ui::ClassesDialogRequest& request, QWidget* parent);
    ui::ClassesChoice choice() const;

private:
    void addMagnificationRows(QFormLayout& form);
    void addFolderRow(QFormLayout& form);
    void refresh();

    ui::ClassesDialogRequest request_;
    QSpinBox* count_ = nullptr;
    QComboBox* magnifications_[3] = {};
    QLineEdit* folder_ = nullptr;
    QLabel* sizes_ = nullptr;
};

std::optional<ui::ClassesChoice> runClassesDialog(const ui::ClassesDialogRequest& request, QWidget* parent);

}  // namespace plotvane::qtui
