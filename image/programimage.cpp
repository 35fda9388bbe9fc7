#include "image/programimage.h"

#include <algorithm>

void ProgramImage::load(const std::vector<quint16> &words)
{
    Q_ASSERT(words.size() <= ProgWords.size());
    const auto loaded = std::copy(words.begin(), words.end(), ProgWords.begin());
    std::fill(loaded, ProgWords.end(), 0);
    WordCount = static_cast<int>(words.size());
}

quint16 ProgramImage::frameWord(int index) const
{
    if (index < 0 || index >= kSlots)
        return 0;
    return static_cast<quint16>(ProgWords[static_cast<size_t>(index)]);
}
