// Reads a recipe whole and checks every line before anything is pressed: a
// recipe with one bad line is refused as a whole.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "recipe.h"

struct TRecipeError {
  int sourceLine = 0;  // 0 when the fault is the file's, not a line's
  QString message;     // English, without the line number
};

struct TRecipeParse {
  std::optional<TRecipe> recipe;  // set when the whole recipe is sound
  TRecipeError error;             // otherwise the first fault

  bool Ok() const { return recipe.has_value(); }
};

// Parses the bytes of a recipe file.
TRecipeParse ParseRecipe(const QByteArray &bytes);

// Reads and parses a recipe file; a file larger than kRecipeMaxBytes is not
// read past that bound.
TRecipeParse ReadRecipeFile(const QString &path);

// Parses one step given as words (the command line's "expect 2 Alapjel"):
// the same checks as a recipe line, with TEXT taken as one word as given.
TRecipeParse ParseCommandLineStep(const QStringList &words);

// 'text' in double quotes as an expect step reads it back: \" for a double
// quote, \\ for a backslash.
QString QuoteRecipeText(const QString &text);

// "line N: message", or the message alone for a fault of the whole file.
QString DescribeRecipeError(const TRecipeError &error);
