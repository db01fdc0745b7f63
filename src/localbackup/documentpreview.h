#pragma once

#include <QString>
#include <QStringList>

// What a backup copy holds, read without the suite: its kind, the start of
// its text and the document's own properties. Damaged copies are a finding,
// not an error. Reading is bounded so that a hostile file cannot make it
// unbounded: past the budget the preview is marked partial.
namespace DocumentPreview {

// Expanded bytes read from one file at most.
constexpr qint64 byteBudget = 32 * 1024 * 1024;
// Paragraphs kept from one file at most.
constexpr int paragraphBudget = 100000;
// Characters of text a preview answers.
constexpr int previewLength = 4000;

struct Preview
{
    QString kind = QStringLiteral("none"); // "document", "presentation", "spreadsheet", "pdf", "text" or "none"
    QString title;
    QString author;
    QString modified;
    // Pages of a document or PDF, slides, or sheets; -1 when unknown.
    int count = -1;
    bool damaged = false;
    QString errormsg;
    bool partial = false;
    // In reading order, empty ones left out.
    QStringList paragraphs;

    // The first previewLength characters, paragraphs separated by "\n".
    QString text() const;
    int words() const;
    // "pages", "slides" or "sheets"; empty for text and none.
    QString countKey() const;
};

Preview read(const QString &path);

}
