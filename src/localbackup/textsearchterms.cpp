#include "textsearchterms.h"

#include <QSet>

#include <algorithm>

namespace TextSearch {

namespace {

// Steps through the code points of a text, surrogate pairs as one.
template<typename Visit>
void forEachCodePoint(const QString &text, Visit visit)
{
    for (int i = 0; i < text.size();) {
        uint code = text.at(i).unicode();
        int length = 1;
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            length = 2;
        }
        visit(code, i, length);
        i += length;
    }
}

// As the word tokenizer sees it: letters, numbers, private use and marks.
bool isWordCode(uint code)
{
    if (isCjk(code))
        return false;
    return QChar::isLetterOrNumber(code) || QChar::isMark(code) || QChar::category(code) == QChar::Other_PrivateUse;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// `text` folded as the words are; `from`, when given, gets the place in
// `text` of each folded unit, and one past the end.
QString foldMapped(const QString &text, QVector<int> *from)
{
    QString folded;
    folded.reserve(text.size());
    if (from)
        from->reserve(text.size() + 1);
    forEachCodePoint(text, [&](uint code, int at, int) {
        if (code < 0x80) {
            code = code >= 'A' && code <= 'Z' ? code + ('a' - 'A') : code;
        } else {
            while (QChar::decompositionTag(code) == QChar::Canonical)
                code = QChar::decomposition(code).toUcs4().value(0, code);
            if (QChar::isMark(code))
                return;
            code = QChar::toCaseFolded(code);
        }
        const int units = QChar::requiresSurrogates(code) ? 2 : 1;
        if (units == 2)
            folded += QChar(QChar::highSurrogate(code)) + QChar(QChar::lowSurrogate(code));
        else
            folded += QChar(code);
        if (from)
            from->insert(from->size(), units, at);
    });
    if (from)
        from->append(text.size());
    return folded;
}

bool isWordUnit(const QString &text, int at)
{
    if (at < 0 || at >= text.size())
        return false;
    const QChar unit = text.at(at);
    return unit.isSurrogate() || isWordCode(unit.unicode());
}

struct Range
{
    int start;
    int end;
};

// Where the terms stand in one paragraph; sets the runs found.
QVector<Range> rangesIn(const Terms &terms, const QString &paragraph, QVector<bool> &runFound)
{
    QVector<Range> ranges;
    for (int r = 0; r < terms.runs.size(); ++r) {
        const QString &run = terms.runs.at(r);
        for (int at = paragraph.indexOf(run); at >= 0; at = paragraph.indexOf(run, at + run.size())) {
            ranges.append({at, at + int(run.size())});
            runFound[r] = true;
        }
    }
    if (!terms.folded.isEmpty()) {
        // Whole words of the folded paragraph, mapped back to the paragraph.
        QVector<int> from;
        const QString text = foldMapped(paragraph, &from);
        for (const QString &word : terms.folded) {
            for (int at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
                const int end = at + int(word.size());
                if (!isWordUnit(text, at - 1) && !isWordUnit(text, end))
                    ranges.append({from.at(at), from.at(end)});
            }
        }
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range &a, const Range &b) { return a.start < b.start; });
    return ranges;
}

// The document's own text never carries the marks.
QString plain(QString text)
{
    return text.replace(markStart, QLatin1Char(' ')).replace(markEnd, QLatin1Char(' '));
}

QString snippetOf(const QString &paragraph, const QVector<Range> &ranges)
{
    constexpr int before = 40;
    constexpr int length = 160;
    int start = std::max(0, ranges.first().start - before);
    if (start > 0) {
        const int space = paragraph.indexOf(QLatin1Char(' '), start);
        if (space >= 0 && space < ranges.first().start)
            start = space + 1;
    }
    int end = std::min(int(paragraph.size()), start + length);
    if (end < paragraph.size()) {
        const int space = paragraph.lastIndexOf(QLatin1Char(' '), end);
        if (space > ranges.first().end)
            end = space;
    }
    QString snippet = start > 0 ? QStringLiteral("\u2026") : QString();
    int at = start;
    for (const Range &range : ranges) {
        if (range.start < at || range.end > end)
            continue;
        snippet += plain(paragraph.mid(at, range.start - at)) + markStart
                   + plain(paragraph.mid(range.start, range.end - range.start)) + markEnd;
        at = range.end;
    }
    snippet += plain(paragraph.mid(at, end - at));
    if (end < paragraph.size())
        snippet += QStringLiteral("\u2026");
    return snippet;
}

}

bool isCjk(uint code)
{
    switch (QChar::script(code)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return true;
    default:
        // The prolonged sound mark belongs to every script.
        return code == 0x30FC;
    }
}

QString fold(const QString &word)
{
    return foldMapped(word, nullptr);
}

Terms parse(const QString &query)
{
    Terms terms;
    QSet<QString> seen;
    int start = -1;
    bool inRun = false;
    const auto close = [&](int end) {
        if (start < 0)
            return;
        const QString term = query.mid(start, end - start);
        if (inRun && !seen.contains(term)) {
            terms.runs.append(term);
        } else if (!inRun && !fold(term).isEmpty() && !seen.contains(fold(term))) {
            terms.words.append(term);
            terms.folded.append(fold(term));
        }
        seen.insert(inRun ? term : fold(term));
        start = -1;
    };
    forEachCodePoint(query, [&](uint code, int at, int) {
        const bool cjk = isCjk(code);
        if (!cjk && !isWordCode(code)) {
            close(at);
            return;
        }
        if (start >= 0 && cjk != inRun)
            close(at);
        if (start < 0) {
            start = at;
            inRun = cjk;
        }
    });
    close(query.size());
    return terms;
}

QStringList Terms::longRuns() const
{
    QStringList longOnes;
    for (const QString &run : runs) {
        if (run.toUcs4().size() >= 3)
            longOnes.append(run);
    }
    return longOnes;
}

QString Terms::wordsMatch() const
{
    QStringList parts;
    for (const QString &word : words)
        parts.append(quoted(word));
    return parts.join(QLatin1Char(' '));
}

// Runs of more than three letters as their trigrams, each required: the
// trigram table keeps no positions, and match() checks the run itself.
QString Terms::runsMatch() const
{
    QStringList parts;
    for (const QString &run : longRuns()) {
        const QVector<uint> codes = run.toUcs4();
        for (int i = 0; i + 3 <= codes.size(); ++i) {
            const QString trigram = quoted(QString::fromUcs4(codes.constData() + i, 3));
            if (!parts.contains(trigram))
                parts.append(trigram);
        }
    }
    return parts.join(QLatin1Char(' '));
}

QString wordText(const QString &text)
{
    QString words = text;
    forEachCodePoint(text, [&](uint code, int at, int length) {
        if (isCjk(code))
            words.replace(at, length, QString(length, QLatin1Char(' ')));
    });
    return words;
}

QString cjkText(const QString &text)
{
    QString runs;
    bool inRun = false;
    forEachCodePoint(text, [&](uint code, int at, int length) {
        const bool cjk = isCjk(code);
        if (cjk && !inRun && !runs.isEmpty())
            runs += QLatin1Char('\n');
        if (cjk)
            runs += text.midRef(at, length);
        inRun = cjk;
    });
    return runs;
}

Match match(const Terms &terms, const QStringList &paragraphs)
{
    QVector<bool> runFound(terms.runs.size(), false);
    Match result;
    for (const QString &paragraph : paragraphs) {
        const QVector<Range> ranges = rangesIn(terms, paragraph, runFound);
        if (result.snippet.isEmpty() && !ranges.isEmpty())
            result.snippet = snippetOf(paragraph, ranges);
        if (!result.snippet.isEmpty() && !runFound.contains(false))
            break;
    }
    result.complete = !runFound.contains(false);
    // The words matched in the index but not as read here: the start of the text.
    if (result.snippet.isEmpty() && !paragraphs.isEmpty())
        result.snippet = snippetOf(paragraphs.first(), {{0, 0}}).remove(markStart).remove(markEnd);
    return result;
}

}
