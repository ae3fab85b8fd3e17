// The parameter dialogs of the Process menu's generators and filters. Each
// shows its values as "%d" texts and reads them back as atoi does (text
// that is no number is 0); the commands in CKestruneDlg do the work.
#pragma once

#include <QDialog>

#include <vector>

#include "core/dsp/Generators.h"

class QGridLayout;
class QLineEdit;

namespace kestrune::app {

class FileChooser;

/** A column of labelled integer edits with OK and Cancel beside them. */
class CIntegerFields : public QDialog {
    Q_OBJECT

  protected:
    struct Field {
        const char* label;
        const char* objectName;
        int value;
    };
    CIntegerFields(const QString& title, const std::vector<Field>& fields, const QString& note,
                   QWidget* parent);
    /** Field i as atoi reads it. */
    int Value(int i) const;
    /** The grid the fields sit in, for a dialog that adds a row. */
    QGridLayout* Grid() const { return grid_; }

  private:
    std::vector<QLineEdit*> edits_;
    QGridLayout* grid_ = nullptr;
};

/** "正弦信号を作る": the tone's times (s) and frequencies (Hz). */
class CSinGenerator final : public CIntegerFields {
    Q_OBJECT

  public:
    explicit CSinGenerator(const generators::SineSettings& start, QWidget* parent = nullptr);
    generators::SineSettings Settings() const;
};

/** "合成音声を作る": times (s), the description file and the number of plays. */
class CMixGenerator final : public CIntegerFields {
    Q_OBJECT

  public:
    /** `iniFiles` is what "設定ファイル" asks for the description file with. */
    CMixGenerator(const generators::MixSettings& start, FileChooser& iniFiles,
                  QWidget* parent = nullptr);
    generators::MixSettings Settings() const;

  private:
    QLineEdit* description_ = nullptr;
};

/** The two bounds of a filter, low then high, with the note on zero bounds. */
class CFilterBounds : public CIntegerFields {
    Q_OBJECT

  public:
    int Low() const { return Value(0); }
    int High() const { return Value(1); }

  protected:
    CFilterBounds(const QString& title, const char* lowLabel, const char* highLabel, int low,
                  int high, QWidget* parent);
};

/** "時間領域のフィルタ": the amplitude band the gate keeps. */
class CTimeDomainFilter final : public CFilterBounds {
    Q_OBJECT

  public:
    CTimeDomainFilter(int low, int high, QWidget* parent = nullptr);
};

/** "周波数領域のフィルタ": the band (Hz) the band-stop removes. */
class CFreDomainFilter final : public CFilterBounds {
    Q_OBJECT

  public:
    CFreDomainFilter(int low, int high, QWidget* parent = nullptr);
};

}  // namespace kestrune::app
