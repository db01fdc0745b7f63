#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The words and the runs of Chinese, Japanese and Korean letters of a search,
// and the text forms the text index keeps: words are matched whole, without
// regard to case or diacritics ("muller" finds "Müller"); a run of those
// letters, written without spaces, is matched as a substring.
namespace TextSearch {

struct Terms
{
    QStringList words;  // as typed
    QStringList folded; // the same, case and diacritics removed
    QStringList runs;   // runs of CJK letters

    bool isEmpty() const { return words.isEmpty() && runs.isEmpty(); }
    // The runs long enough for the trigram index (3 letters or more).
    QStringList longRuns() const;
    // FTS5 query texts: every word or trigram a quoted string, all required.
    // Empty when there is none.
    QString wordsMatch() const;
    QString runsMatch() const;
};

Terms parse(const QString &query);

bool isCjk(uint codePoint);
// Lower case, diacritics removed, as the index's word tokenizer folds them.
QString fold(const QString &word);

// What the word index gets: the text with CJK letters blanked out.
QString wordText(const QString &text);
// What the trigram index gets: the CJK runs of the text, one a line.
QString cjkText(const QString &text);

// Marks a found term in a snippet; the page shows these as it likes.
constexpr QChar markStart = QChar(0x0001);
constexpr QChar markEnd = QChar(0x0002);

struct Match
{
    bool complete = false; // every run was found
    QString snippet;       // around the first word or run found; empty when none
};

// Looks for the terms in a copy's paragraphs: every run must occur in some
// paragraph (the trigram index only narrows), and the snippet shows the first
// match with each term in it marked.
Match match(const Terms &terms, const QStringList &paragraphs);

}
