// Messages as the generator writes them into the class, each parsed and
// printed by php-cli inside a plugin-like class.

#include "build/PhpStringLiteral.h"
#include "build/PhpPeer.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;

namespace {

struct Row {
    const char *message;
    const char *literal;
    const char *printed; // nullptr: as typed
};

// UTF-8 throughout; "\\" in C++ is one backslash of the message.
const Row kRows[] = {
    {"Hello", "Hello", nullptr},
    {"Привет, мир 😀", "Привет, мир 😀", nullptr},
    {"costs $5, $ and {$", "costs $5, $ and {\\$", nullptr},
    // What would not parse.
    {"say \"hi\"", "say \\\"hi\\\"", nullptr},
    {"C:\\dir\\", "C:\\dir\\\\", nullptr},
    {"\\", "\\\\", nullptr},
    {"a\\u{zz}b", "a\\\\u{zz}b", nullptr},
    {"\\u{110000} \\u{} \\u{41", "\\\\u{110000} \\\\u{} \\\\u{41", nullptr},
    {"\\q\\", "\\q\\\\", nullptr},
    // What would raise an error when the method runs.
    {"$x {$x} ${x}", "\\$x {\\$x} \\${x}", nullptr},
    {"$this {$this} $this->x", "\\$this {\\$this} \\$this->x", nullptr},
    {"{$this->x} {$this->getName( }", "{\\$this->x} {\\$this->getName( }", nullptr},
    {"\\{$this->getName()}", "\\{\\$this->getName()}", nullptr},
    {"\\400", "\\\\400", nullptr}, // PHP would warn of the overflow
    // What PHP reads on purpose stays.
    {"C:\\new\\table", "C:\\new\\table", "C:\new\table"},
    {"\\x41\\101\\\\\\$\\\"\\u{1F600}\\e", "\\x41\\101\\\\\\$\\\"\\u{1F600}\\e", "AA\\$\"😀\x1B"},
    {"\\x4g\\7", "\\x4g\\7", "\x04g\x07"},
    {"\"{$this->getName()}\"", "\\\"{$this->getName()}\\\"", "\"Plugin\""},
    {"{$this->join('a}\\'b', -1.5, 2, NULL)}!", "{$this->join('a}\\'b', -1.5, 2, NULL)}!", "a}'b|-1.5|2|!"},
    {"{$this->me()->getName()}", "{$this->me()->getName()}", "Plugin"},
};

// Prints each literal on a line of its own, base64-encoded, from a method
// of a class with the methods the rows call.
QByteArray phpFileFor(const QStringList &literals)
{
    QByteArray code = "<?php\n"
                      "class P {\n"
                      "public function getName() { return 'Plugin'; }\n"
                      "public function me() { return $this; }\n"
                      "public function join(...$a) { return implode('|', $a); }\n"
                      "public function run() {\n";
    for (const QString &literal : literals)
        code += "echo base64_encode(\"" + literal.toUtf8() + "\"), \"\\n\";\n";
    code += "}\n}\n(new P())->run();\n";
    return code;
}

} // namespace

class PhpStringLiteralTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void messagesParseAndPrintAsRead()
    {
        QStringList literals;
        for (const Row &row : kRows) {
            const QString message = QString::fromUtf8(row.message);
            literals << build::phpStringBody(message);
            QCOMPARE(literals.last(), QString::fromUtf8(row.literal));
            // Only what PHP reads on purpose prints other than typed.
            const build::PhpPrinting printing = build::phpPrinting(message);
            const QByteArray printed = row.printed ? QByteArray(row.printed) : QByteArray(row.message);
            if (printing.values.isEmpty()) // a call shows as typed there
                QCOMPARE(printing.printed, printed);
            QCOMPARE(printing.hasEscapes || !printing.values.isEmpty(), row.printed != nullptr);
        }

        const QString file = m_env->path(QStringLiteral("messages.php"));
        test::writeFile(file, phpFileFor(literals));
        const test::ProgramResult run =
            test::runProgram(test::phpProgram(), {QStringLiteral("-d"), QStringLiteral("error_reporting=-1"), file});
        QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(run.describe()));
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), qsizetype(std::size(kRows)));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const Row &row = kRows[i];
            QCOMPARE(QByteArray::fromBase64(lines.at(i).toLatin1()),
                     QByteArray(row.printed ? row.printed : row.message));
        }
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(PhpStringLiteralTest)
#include "PhpStringLiteralTest.moc"
