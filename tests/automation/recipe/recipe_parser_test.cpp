// The recipe parser: what it takes and how, and every way a recipe is
// refused, each naming the line at fault.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "recipe_parser.h"

namespace {

using namespace std::chrono_literals;

TRecipe Parsed(const QByteArray &text) {
  const TRecipeParse parse = ParseRecipe(text);
  EXPECT_TRUE(parse.Ok()) << DescribeRecipeError(parse.error).toStdString();
  return parse.recipe.value_or(TRecipe{});
}

TEST(RecipeParser, TakesEveryStepWithCommentsBlankLinesAndEitherLineEnd) {
  const TRecipe recipe = Parsed(
      "\xEF\xBB\xBF# set the ramp\r\n"
      "\r\n"
      "  press enter Down\tRIGHT  \r\n"
      "hold UP 1500\n"
      "WAIT 0\n"
      "expect 2 \"Felfutási idő\"\n"
      "expect 3 \"»10.0 s\" 2.5\n"
      "expect 4 \"say \\\"hi\\\" \\\\\"   \n"
      "expect 1 \"#\"");
  ASSERT_EQ(recipe.steps.size(), 7u);
  EXPECT_EQ(recipe.steps[0].kind, TRecipeStepKind::Press);
  EXPECT_EQ(recipe.steps[0].sourceLine, 3);
  EXPECT_EQ(recipe.steps[0].keys, (std::vector<int>{6, 4, 3}));
  EXPECT_EQ(recipe.steps[1].kind, TRecipeStepKind::Hold);
  EXPECT_EQ(recipe.steps[1].keys, std::vector<int>{0});
  EXPECT_EQ(recipe.steps[1].duration, 1500ms);
  EXPECT_EQ(recipe.steps[2].duration, 0ms);
  EXPECT_EQ(recipe.steps[3].displayLine, 2);
  EXPECT_EQ(recipe.steps[3].text, QStringLiteral("Felfutási idő"));
  EXPECT_EQ(recipe.steps[3].duration, kRecipeDefaultTimeout);
  EXPECT_EQ(recipe.steps[4].text, QStringLiteral("»10.0 s"));
  EXPECT_EQ(recipe.steps[4].duration, 2500ms);
  EXPECT_EQ(recipe.steps[5].text, QStringLiteral("say \"hi\" \\"));
  EXPECT_EQ(recipe.steps[6].text, QStringLiteral("#"));
  EXPECT_EQ(recipe.steps[6].sourceLine, 9);
}

struct TRefusal {
  const char *text;
  int line;
  const char *complaint;
};

void ExpectRefused(const std::vector<TRefusal> &refusals) {
  for (const TRefusal &refusal : refusals) {
    const TRecipeParse parse = ParseRecipe(QByteArray(refusal.text));
    ASSERT_FALSE(parse.Ok()) << refusal.text;
    EXPECT_EQ(parse.error.sourceLine, refusal.line) << refusal.text;
    EXPECT_TRUE(parse.error.message.contains(QString::fromUtf8(refusal.complaint)))
        << refusal.text << " -> " << parse.error.message.toStdString();
  }
}

TEST(RecipeParser, RefusesUnknownStepsAndKeys) {
  ExpectRefused({
      {"press UP\nklick UP\n", 2, "unknown step \"klick\""},
      {"press UP\n\n# x\npress UP SIDEWAYS\n", 4, "unknown key \"SIDEWAYS\""},
      {"hold ENTR 100\n", 1, "unknown key \"ENTR\""},
      {"press UP # trailing comment\n", 1, "unknown key \"#\""},
      {"UP\n", 1, "unknown step"},
  });
}

TEST(RecipeParser, RefusesMalformedSteps) {
  ExpectRefused({
      {"press\n", 1, "at least one key"},
      {"hold UP\n", 1, "hold takes one key and a time"},
      {"hold UP DOWN 100\n", 1, "hold takes one key"},
      {"hold UP 0\n", 1, "from 1 to"},
      {"hold UP -5\n", 1, "not a whole number"},
      {"wait\n", 1, "wait takes one time"},
      {"wait 1.5\n", 1, "not a whole number"},
      {"wait 600001\n", 1, "from 0 to 600000"},
      {"wait 99999999999999999999\n", 1, "not a whole number"},
      {"expect 2 Alapjel\n", 1, "double quotes"},
      {"expect 2\n", 1, "double quotes"},
      {"expect \"x\"\n", 1, "double quotes"},
      {"expect 5 \"x\"\n", 1, "not 1, 2, 3 or 4"},
      {"expect 0 \"x\"\n", 1, "not 1, 2, 3 or 4"},
      {"expect 2 \"open\n", 1, "closing double quote"},
      {"expect 2 \"a\\n\"\n", 1, "backslash"},
      {"expect 2 \"a\"5\n", 1, "space must follow"},
      {"expect 2 \"a\" 5 6\n", 1, "only a time-out"},
      {"expect 2 \"a\" 0\n", 1, "time-out \"0\""},
      {"expect 2 \"a\" 1.2345\n", 1, "time-out"},
      {"expect 2 \"a\" 601\n", 1, "time-out"},
      {"expect 2 \"a\" -1\n", 1, "time-out"},
      {"expect 2 \"0123456789abcdefg\"\n", 1, "longer than a display line"},
  });
  EXPECT_TRUE(ParseRecipe("expect 2 \"0123456789abcdef\"").Ok()) << "a whole line is fine";
}

TEST(RecipeParser, RefusesWhatIsNotASmallTextFile) {
  ExpectRefused({
      {"", 0, "no steps"},
      {"# nothing but comments\n\n", 0, "no steps"},
      {"press UP\n\x1b[31mpress UP\n", 2, "control byte 0x1b"},
      {"press UP\npress\x7fUP\n", 2, "control byte 0x7f"},
      {"press UP\nexpect 1 \"\xC3\x28\"\n", 2, "not UTF-8"},
      {"expect 1 \"\xC0\xAF\"\n", 1, "not UTF-8"},        // an overlong slash
      {"expect 1 \"\xED\xA0\x80\"\n", 1, "not UTF-8"},    // a lone surrogate
      {"press UP\npress UP \xE2\x82\n", 2, "not UTF-8"},  // cut off at the line's end
      {"press UP\r\r\n", 1, "control byte 0x0d"},
  });
  QByteArray binary("press UP\n");
  binary.append('\0');
  EXPECT_TRUE(ParseRecipe(binary).error.message.contains("binary"));

  QByteArray longLine = "# " + QByteArray(kRecipeMaxLineBytes, 'x') + "\npress UP\n";
  EXPECT_EQ(ParseRecipe(longLine).error.sourceLine, 1);
  EXPECT_TRUE(ParseRecipe(longLine).error.message.contains("longer than"));

  QByteArray manyKeys("press");
  for (int i = 0; i <= kRecipeMaxKeysPerStep; ++i) {
    manyKeys += " UP";
  }
  EXPECT_TRUE(ParseRecipe(manyKeys).error.message.contains("more than"));

  QByteArray huge;
  while (huge.size() <= kRecipeMaxBytes) {
    huge += "press UP\n";
  }
  const TRecipeParse parse = ParseRecipe(huge);
  EXPECT_FALSE(parse.Ok());
  EXPECT_TRUE(parse.error.message.contains("larger than"));
}

TEST(RecipeParser, ReadsAFileOnlyUpToTheBound) {
  QTemporaryDir folder;
  const QString path = folder.filePath("big.recipe");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("press UP\n");
  file.resize(4 * kRecipeMaxBytes);  // a sparse tail of NUL bytes beyond the bound
  file.close();
  EXPECT_TRUE(ReadRecipeFile(path).error.message.contains("larger than"));
  EXPECT_TRUE(ReadRecipeFile(folder.filePath("missing")).error.message.contains("cannot read"));
  EXPECT_TRUE(ReadRecipeFile(folder.path()).error.message.contains("cannot read"));
}

TEST(RecipeParser, CommandLineStepsTakeTheTextAsGiven) {
  const TRecipeParse expect = ParseCommandLineStep({"expect", "3", "say \"hi\"", "0.5"});
  ASSERT_TRUE(expect.Ok());
  EXPECT_EQ(expect.recipe->steps.front().text, QStringLiteral("say \"hi\""));
  EXPECT_EQ(expect.recipe->steps.front().duration, 500ms);
  EXPECT_FALSE(ParseCommandLineStep({"press", "UP", "NOPE"}).Ok());
  EXPECT_FALSE(ParseCommandLineStep({"wait", "10"}).Ok());
}

}  // namespace
