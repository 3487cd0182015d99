// Windows-1250 (Central European) to Unicode, for the display texts that the
// protocol library hands out as code-page bytes.
#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <cstdint>

// The character one Windows-1250 byte stands for. The five bytes the code
// page leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98) give the C1 control of
// the same value, as the platform's own conversion does.
QChar Cp1250ToChar(uint8_t byte);

// The bytes converted one by one.
QString Cp1250ToString(QByteArrayView bytes);

// A display-line text as a plain label shows it: every "&&" stands for one
// "&" (the protocol library escapes the ampersand this way).
QString LabelTextToPlain(const QString &labelText);
