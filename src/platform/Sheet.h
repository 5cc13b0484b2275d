#pragma once
#include "platform/Alert.h"

#include <QWidget>
#include <functional>

class QDialog;

// Window-modal dialogs attached to a window. A sheet is opened with
// QDialog::open(), never exec(): the call returns at once and the completion
// runs when the sheet ends. One sheet is shown on a window at a time; sheets
// begun while one is up wait their turn.
//
//   -[NSWindow beginSheet:completionHandler:] /
//   -[NSApp beginSheet:modalForWindow:modalDelegate:didEndSelector:contextInfo:]
//                                        ->  Sheet::begin(dialog, window, completion)
//   -[NSApp endSheet:returnCode:]        ->  Sheet::end(dialog, code)
//   -[NSWindow attachedSheet]            ->  Sheet::attachedSheet(window)
//   (ending whatever sheet a window has) ->  Sheet::endAll(window): every sheet of
//                                            the window, shown or waiting, answers
//                                            Alert::ModalResponseAbort
//
// A dialog without a parent is given the window as parent. A sheet that the
// user closes through QDialog's own accept() or reject() answers
// Alert::ModalResponseOK (1) or Alert::ModalResponseCancel (0).
class Sheet {
public:
    using Completion = std::function<void(int returnCode)>;

    struct Options {
        // Turns the dialog's own result into the answer.
        std::function<int(QDialog*, int dialogResult)> answerFor;
        // Runs when the sheet comes up; by default the installed responder is told.
        std::function<void(QDialog*)> presented;
        // The dialog is deleted once it has ended.
        bool deleteWhenEnded = false;
    };

    static void begin(QDialog* sheet, QWidget* window, Completion completion);
    static void begin(QDialog* sheet, QWidget* window, Completion completion, Options options);
    static void end(QDialog* sheet, int returnCode);
    static void endAll(QWidget* window, int returnCode = Alert::ModalResponseAbort);
    // The sheet shown on window now, or null (null window: the application-modal ones).
    static QDialog* attachedSheet(QWidget* window);
    // Sheets of window shown or waiting.
    static int count(QWidget* window);
};
