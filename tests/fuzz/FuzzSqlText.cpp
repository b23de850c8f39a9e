// Fuzz target: the SQL text scanner and classifier over arbitrary texts, with the invariants the
// statement layer relies on checked after every run.
//
// Input: byte 0 chooses the scan options (kind, markers allowed, server text, IS NULL rewriting),
// byte 1 the macro character and the text's decoding (Latin-1, one character per byte, or UTF-16, so
// characters above 255 occur); the rest is the text.

#include "SqlTxtRtns.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

namespace {

QString textOf(const uint8_t* data, size_t size, bool utf16)
{
    if (!utf16)
        return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (size_t k = 0; k + 1 < size; k += 2)
        text[static_cast<qsizetype>(k / 2)] = QChar(static_cast<char16_t>(data[k] | (data[k + 1] << 8)));
    return text;
}

void checkReferences(const QString& text, const TSQLScanResult& scan, const TSQLScanOptions& options)
{
    int previousEnd = -1;
    for (const TSQLReference& ref : scan.references) {
        FUZZ_CHECK(ref.beginPos > previousEnd);
        FUZZ_CHECK(ref.beginPos <= ref.endPos);
        FUZZ_CHECK(ref.endPos < text.size());
        const QChar marker = text[ref.beginPos];
        if (ref.isMacro)
            FUZZ_CHECK(marker == options.macroChar);
        else
            FUZZ_CHECK(options.canParamsCheck && (marker == QLatin1Char(':') || marker == QLatin1Char('?')));
        FUZZ_CHECK(!ref.canForceIsNull || ref.inWhereClause);
        previousEnd = ref.endPos;
    }
    if (!options.forServer)
        return;
    FUZZ_CHECK(scan.serverText.size() == text.size());
    // Outside the references the server text is the input itself.
    qsizetype from = 0;
    for (const TSQLReference& ref : scan.references) {
        FUZZ_CHECK(scan.serverText.mid(from, ref.beginPos - from) == text.mid(from, ref.beginPos - from));
        FUZZ_CHECK(scan.serverText[ref.beginPos] == QLatin1Char('?'));
        from = ref.endPos + 1;
    }
    FUZZ_CHECK(scan.serverText.mid(from) == text.mid(from));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const QString text = textOf(data + 2, size - 2, (data[1] & 1) != 0);

    const TSQLParser parser(text);
    FUZZ_CHECK(parser.Len() == text.size());
    FUZZ_CHECK(parser.FirstPos() >= 1);
    FUZZ_CHECK(parser.SQLKind() >= skUnknown && parser.SQLKind() <= skUpdateOrInsert);
    FUZZ_CHECK(parser.CanParamsCheck() == (parser.SQLKind() != skDDL));

    TSQLScanOptions options;
    options.kind = (flags & 1) ? static_cast<TSQLKind>((flags >> 4) % 9) : parser.SQLKind();
    options.canParamsCheck = (flags & 2) ? parser.CanParamsCheck() : !parser.CanParamsCheck();
    static const char kMacroChars[] = {'@', '&', '!', '~'};
    options.macroChar = QLatin1Char(kMacroChars[(data[1] >> 1) % sizeof(kMacroChars)]);
    options.forServer = (flags & 8) != 0;
    const TSQLScanResult scan = ScanSQLText(text, options);
    checkReferences(text, scan, options);

    // The quick check errs only towards reporting a marker: where it finds none, a full scan that
    // recognises parameters finds no reference either. A text of one character is not examined.
    if (text.size() > 1 && QuickParamCheck(text, options.macroChar) && scan.error == speNone)
        FUZZ_CHECK(scan.references.empty());
    FUZZ_CHECK((scan.error == speNone) == SQLParseErrorText(scan.error).isEmpty());

    // The rewriting over what the scan found, with every other parameter null and macro values
    // taken from the text itself.
    std::vector<TReadyReference> ready;
    for (size_t k = 0; k < scan.references.size(); ++k) {
        const TSQLReference& ref = scan.references[k];
        TReadyReference r;
        r.isMacro = ref.isMacro;
        if (ref.isMacro) {
            const TMacroParts parts = SplitMacroText(ref.name, options.macroChar);
            FUZZ_CHECK(parts.name.size() <= 255);
            r.macroValue = parts.defaultValue;
            r.defaultQuoted = parts.defaultQuoted;
        }
        r.isNull = (k % 2) == 0;
        r.inWhereClause = ref.inWhereClause;
        r.canForceIsNull = ref.canForceIsNull;
        r.beginPos = ref.beginPos;
        r.endPos = ref.endPos;
        ready.push_back(r);
    }
    const TReadySQLResult rewritten = ReadySQLText(text, ready, (flags & 0x80) != 0);
    FUZZ_CHECK(rewritten.rewritten.size() == ready.size());
    bool changed = false;
    for (const bool b : rewritten.rewritten)
        changed = changed || b;
    if (!changed)
        FUZZ_CHECK(rewritten.text == text);

    // Positions past either end of the text are answered, never read.
    int pos = static_cast<int>(flags) - 64;
    SkipBlanksAndComments(text, parser.Len(), pos);
    IsWordAt("SELECT", text, static_cast<int>(flags) - 64);
    return 0;
}
