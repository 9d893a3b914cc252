// The OK and Cancel buttons of the programs' dialogs, labelled from the
// dialog's texts (controls 1 and 2) and wired to accept and reject.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include "messages/message_library.h"
#include "ui/dialog_texts.h"

namespace tessaran {

inline QDialogButtonBox* OkCancelButtons(const MessageLibrary& library, std::string_view dialog, QDialog* owner) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, owner);
  buttons->button(QDialogButtonBox::Ok)->setText(DialogText(library, dialog, 1));
  buttons->button(QDialogButtonBox::Cancel)->setText(DialogText(library, dialog, 2));
  QObject::connect(buttons, &QDialogButtonBox::accepted, owner, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, owner, &QDialog::reject);
  return buttons;
}

}  // namespace tessaran
