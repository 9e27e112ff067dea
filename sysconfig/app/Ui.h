// What the system setting tool's windows share: its language texts as Qt
// strings, its message boxes (captioned "QAVNet Config"), the tree pictures
// and the file chooser. Tests replace the message boxes and the file
// chooser with their own.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

#include "qavres/Resources.h"

namespace nconfig::ui {

// The language library the windows use (set once at start).
void SetLanguage(const qavres::StringTable* language);
QString T(int id);
inline QString Q(const std::string& text) { return QString::fromUtf8(text.c_str()); }

// Shows language message `id` in an error box with the caption "QAVNet
// Config". Without a screen (the offscreen platform) it goes to standard
// error instead.
void ShowMessage(QWidget* parent, int id);
// The same for a text that is no language text (the library itself missing).
void ShowText(QWidget* parent, const QString& caption, const QString& text);
using MessageSink = std::function<void(int id, const QString& text)>;
MessageSink SetMessageSink(MessageSink sink);

// Picture 0..4 of the tree (icons 200..204, 12x12).
const QIcon& TreePicture(int picture);

// A file to save (or open): the chosen path, empty when cancelled. filter is
// a language text "description|pattern|...||".
using FileChooser = std::function<QString(QWidget* parent, bool save, const QString& filter, const QString& suffix)>;
FileChooser SetFileChooser(FileChooser chooser);
QString ChooseFile(QWidget* parent, bool save, int filterText, const QString& suffix);
// "Text files (*.txt)|*.txt|All files (*.*)|*.*||" as Qt's "Text files (*.txt);;All files (*)".
QString QtFilter(const QString& filter);

// Replaces the "%s" of a language text.
QString Fill(int id, const QString& value);

} // namespace nconfig::ui
