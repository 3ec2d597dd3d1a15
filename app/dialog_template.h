#pragma once

#include <QDialog>
#include <QWidget>
#include <span>

#include "dialog_units.h"
#include "interface_text.h"

namespace quillmark {

enum class ControlKind {
  DefaultButton,  // pressed by Enter, unless another button has the focus
  Button,         // pressed by Enter while it has the focus
  Label,          // a fixed text, shown as it stands: no mnemonic, no markup
  ElidedLabel,    // a changing text (the status line), elided in the middle
  SunkenLabel,    // an elided label with a sunken edge, for a chosen path
  Edit,           // any text may be typed; checks happen at start
  Icon,           // the application icon at its large size
};

// One control of a dialog template; positions and sizes in dialog units.
struct TemplateControl {
  ControlKind kind;
  int id;                     // -1 for a label the code never addresses
  const InterfaceText* text;  // nullptr for none
  int x, y, width, height;
  const char* objectName;
};

// A template's text in the dialog's language; empty for none.
QString TemplateText(const InterfaceText* text);

// A fixed-size dialog of width x height dialog units in the dialog font,
// with a caption and a close button but no
// minimize or maximize button.
// Returns the base units to place its controls with.
DialogBaseUnits ApplyDialogTemplate(QDialog& dialog, const QString& title, int width, int height);

// Creates the control as a child of dialog. Controls take the keyboard
// focus in the order they are created, so create them in template order.
QWidget* AddTemplateControl(QDialog& dialog, const DialogBaseUnits& units,
                            const TemplateControl& control);

// Where a translated template puts a control otherwise than the source
// template, since its text is longer; in dialog units.
struct TemplatePlacement {
  const char* objectName;
  int x, y, width, height;
};

// Moves the dialog's controls named there to their places.
void PlaceTemplateControls(QDialog& dialog, const DialogBaseUnits& units,
                           std::span<const TemplatePlacement> placements);

}  // namespace quillmark
