#pragma once

#include <QStringList>

// Which paragraphs changed between two versions of a text, by the shortest
// edit script (Myers) over whole paragraphs.
namespace TextDiff {

struct Result
{
    QStringList added;   // only in the newer text, in its order
    QStringList removed; // only in the older text, in its order
    int unchanged = 0;
    int changedWords = 0; // words of the added and removed paragraphs
};

Result compare(const QStringList &older, const QStringList &newer);

}
