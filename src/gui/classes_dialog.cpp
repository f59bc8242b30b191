#include "gui/classes_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace plotvane::qtui {

namespace {

constexpr int kMagnifications[] = {2, 4, 8};

}  // namespace

ClassesDialog::ClassesDialog(const ui::ClassesDialogRequest& request, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), request_(request) {
    setObjectName(QStringLiteral("classesDialog"));
    setWindowTitle(QStringLiteral("Make classes from one picture"));
    auto* form = new QFormLayout;

    count_ = new QSpinBox(this);
    count_->setObjectName(QStringLiteral("classCount"));
    count_->setAccessibleName(QStringLiteral("Number of classes"));
    count_->setRange(1, 4);
    count_->setValue(request.initial.classCount);
    form->addRow(QStringLiteral("Number of classes:"), count_);

    addMagnificationRows(*form);
    addFolderRow(*form);

    sizes_ = new QLabel(this);
    sizes_->setObjectName(QStringLiteral("sizes"));
    sizes_->setTextFormat(Qt::PlainText);
    sizes_->setWordWrap(true);
    sizes_->setMinimumWidth(420);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(sizes_);
    layout->addWidget(buttons);
    connect(count_, &QSpinBox::valueChanged, this, &ClassesDialog::refresh);
    refresh();
}

// One choice of x2, x4 or x8 for each step from a class to the next.
void ClassesDialog::addMagnificationRows(QFormLayout& form) {
    for (int k = 0; k < 3; ++k) {
        auto* box = new QComboBox(this);
        const QString label = QStringLiteral("Class %1 to Class %2").arg(k + 1).arg(k + 2);
        box->setObjectName(QStringLiteral("magnification%1").arg(k + 2));
        box->setAccessibleName(label + QStringLiteral(" magnification"));
        for (int m : kMagnifications) box->addItem(QStringLiteral("x%1").arg(m), m);
        box->setCurrentIndex(box->findData(request_.initial.magnifications[static_cast<std::size_t>(k)]));
        magnifications_[k] = box;
        form.addRow(label + QLatin1Char(':'), box);
        connect(box, &QComboBox::currentIndexChanged, this, &ClassesDialog::refresh);
    }
}

// The folder's edit and its "Browse..." button.
void ClassesDialog::addFolderRow(QFormLayout& form) {
    folder_ = new QLineEdit(QString::fromStdString(request_.initial.folder), this);
    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setAccessibleName(QStringLiteral("Folder for the class pictures"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Folder for the class pictures"),
                                                                 folder_->text());
        if (!chosen.isEmpty()) folder_->setText(chosen);
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);
    form.addRow(QStringLiteral("Folder:"), folderRow);
}

ui::ClassesChoice ClassesDialog::choice() const {
    ui::ClassesChoice c;
    c.classCount = count_->value();
    for (int k = 0; k < 3; ++k) c.magnifications[static_cast<std::size_t>(k)] = magnifications_[k]->currentData().toInt();
    c.folder = folder_->text().toStdString();
    return c;
}

void ClassesDialog::refresh() {
    for (int k = 0; k < 3; ++k) magnifications_[k]->setEnabled(k + 1 < count_->value());
    if (request_.describe) sizes_->setText(QString::fromStdString(request_.describe(choice())));
}

std::optional<ui::ClassesChoice> runClassesDialog(const ui::ClassesDialogRequest& request, QWidget* parent) {
    ClassesDialog dialog(request, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

}  // namespace plotvane::qtui
