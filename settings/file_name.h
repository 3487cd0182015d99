// File names as the system gives them: bytes. The program holds names as
// text (QString), and only valid UTF-8 becomes text without loss: Qt turns
// every other byte into U+FFFD, and that text names another file. A name
// from outside (the command line, the environment, the program's own path)
// is taken as text only when it converts back to the very same bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// 'native' as text when it converts back to the same bytes (QFile::encodeName
// of the text gives 'native'); nothing when it is not valid UTF-8.
std::optional<QString> DecodeFileName(const QByteArray &native);

// 'native' for a message: valid UTF-8 as its text, every other byte and
// every control character written as \xHH, so a message never shows another
// name and cannot play tricks on the terminal.
QString PrintableFileName(const QByteArray &native);
