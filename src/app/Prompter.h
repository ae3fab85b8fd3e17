#pragma once

#include <QString>

class QWidget;

namespace kestrune::app {

/**
 * The message and confirmation boxes a window shows. Windows never call
 * QMessageBox themselves: they are handed a Prompter, so tests answer the
 * questions without a modal box blocking them.
 */
class Prompter {
  public:
    virtual ~Prompter() = default;

    /** A modal message with an OK button. */
    virtual void Message(QWidget* parent, const QString& text,
                         const QString& caption = QStringLiteral("Kestrune")) = 0;

    /** A modal question captioned "Confirmation" with OK and Cancel; true for OK. */
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
};

/** The real boxes. */
class MessageBoxPrompter final : public Prompter {
  public:
    void Message(QWidget* parent, const QString& text,
                 const QString& caption = QStringLiteral("Kestrune")) override;
    bool Confirm(QWidget* parent, const QString& text) override;
};

}  // namespace kestrune::app
