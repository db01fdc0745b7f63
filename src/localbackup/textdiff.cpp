#include "textdiff.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace TextDiff {

namespace {

// The edit script's trace costs about D² integers: past this many edits
// the differing middle is reported as removed and added whole.
constexpr int editBudget = 2048;

int wordsOf(const QStringList &paragraphs)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    int words = 0;
    for (const QString &paragraph : paragraphs)
        words += paragraph.split(space, Qt::SkipEmptyParts).size();
    return words;
}

}

Result compare(const QStringList &older, const QStringList &newer)
{
    Result result;
    // Common ends cost nothing and keep the edit count of small changes small.
    int begin = 0;
    while (begin < older.size() && begin < newer.size() && older.at(begin) == newer.at(begin))
        ++begin;
    int olderEnd = older.size(), newerEnd = newer.size();
    while (olderEnd > begin && newerEnd > begin && older.at(olderEnd - 1) == newer.at(newerEnd - 1)) {
        --olderEnd;
        --newerEnd;
    }
    const int n = olderEnd - begin, m = newerEnd - begin;
    auto a = [&](int i) -> const QString & { return older.at(begin + i); };
    auto b = [&](int j) -> const QString & { return newer.at(begin + j); };

    // Furthest x on each diagonal k after each edit count d, for k in -d..d.
    std::vector<std::vector<int>> trace;
    std::vector<int> v(2 * size_t(n + m) + 3, 0);
    const int offset = n + m + 1;
    int edits = -1;
    for (int d = 0; d <= n + m && d <= editBudget && edits < 0; ++d) {
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])) ? v[offset + k + 1]
                                                                                   : v[offset + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a(x) == b(y)) {
                ++x;
                ++y;
            }
            v[offset + k] = x;
            if (x >= n && y >= m) {
                edits = d;
                break;
            }
        }
        if (edits < 0) {
            std::vector<int> snapshot;
            snapshot.reserve(size_t(d) + 1);
            for (int k = -d; k <= d; k += 2)
                snapshot.push_back(v[offset + k]);
            trace.push_back(std::move(snapshot));
        }
    }

    if (edits < 0) {
        for (int i = 0; i < n; ++i)
            result.removed.append(a(i));
        for (int j = 0; j < m; ++j)
            result.added.append(b(j));
    } else {
        int x = n, y = m;
        for (int d = edits; d > 0; --d) {
            const std::vector<int> &previous = trace[size_t(d) - 1];
            auto at = [&](int k) { return previous[size_t((k + d - 1) / 2)]; };
            const int k = x - y;
            const int previousK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
            const int previousX = at(previousK), previousY = previousX - previousK;
            while (x > previousX && y > previousY) {
                --x;
                --y;
            }
            if (x == previousX)
                result.added.append(b(y - 1));
            else
                result.removed.append(a(x - 1));
            x = previousX;
            y = previousY;
        }
        std::reverse(result.added.begin(), result.added.end());
        std::reverse(result.removed.begin(), result.removed.end());
    }
    result.unchanged = older.size() - result.removed.size();
    result.changedWords = wordsOf(result.added) + wordsOf(result.removed);
    return result;
}

}
