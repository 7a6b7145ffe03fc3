#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reads comma-delimited fields one after another from a block of bytes, as the settings
// file and the parameter files carry them:
// - blanks (spaces, tabs) before a field are skipped;
// - a field ends at a comma or at a line end (CR LF, lone CR, lone LF); reading goes on
//   across line ends, and an empty line is one empty field;
// - a field that begins with a double quote runs to its closing quote, line ends and
//   commas included; inside it "" stands for one quote, and whatever follows the closing
//   quote up to the next comma or line end is skipped;
// - blanks at the end of an unquoted field are dropped.
// The reader holds its own copy of the data.
class DelimitedReader {
public:
    explicit DelimitedReader(QByteArray data);

    // The next field's bytes; empty when the data holds no further field.
    std::optional<QByteArray> next();
    // The next field decoded from the local 8-bit code page (UTF-8 on Linux).
    std::optional<QString> nextText();

    bool atEnd() const;

private:
    void skipDelimiter();

    QByteArray m_data;
    qsizetype m_pos = 0;
    bool m_fieldPending = false; // a comma was the last thing read: one more field follows
};
