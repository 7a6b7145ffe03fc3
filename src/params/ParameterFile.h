#pragma once

#include "core/ParameterSet.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// Parameter files: one line of the fifteen ParameterSet values in file order, each number
// in print style (a space or its "-" before it, a space after it), joined by ",", ended by
// CR LF. Reading is lenient: numbers separated by commas or line ends, blanks around them
// skipped, so hand-made files with one number per line read too.
namespace ParameterFile {

// One value per field, in file order. A field that is not a number, or that the file
// does not reach, reads 0; an empty value is a number too large for 64 bits, which no
// field can take.
using Values = std::array<std::optional<qint64>, ParameterSet::fieldCount>;

QByteArray format(const ParameterSet &set);

// The first fifteen values of the bytes; anything after them is ignored.
Values parse(const QByteArray &bytes);

// Stores every value its field can hold; a value outside its field's range leaves that
// field as it was. Returns the number of fields left unchanged for that reason.
int storeInto(const Values &values, ParameterSet &set);

// Reads a file into inOut. A file that cannot be opened or read is reported (false,
// error names the file and the reason) and leaves inOut untouched.
bool readFile(const QString &path, ParameterSet &inOut, QString *error);

// Creates or replaces the file, atomically. false and error on failure; an existing file
// then stays as it was.
bool writeFile(const QString &path, const ParameterSet &set, QString *error);

// The name Save As writes to: ".txt" appended unless the name ends in exactly ".txt".
QString withTxtSuffix(const QString &name);

} // namespace ParameterFile
