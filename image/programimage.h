#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

// The program to download: `ProgWords` holds the loaded words in the order
// they are sent, `WordCount` how many were loaded.
struct ProgramImage {
    static constexpr int kSlots = 32768;

    std::array<qint32, kSlots> ProgWords{};
    int WordCount = 0;

    // Replaces the program. Every slot from the new WordCount on is cleared,
    // so the bytes sent for a file never depend on what was loaded before it.
    void load(const std::vector<quint16> &words);

    // The word that frame `index` carries (0..WordCount). The download sends
    // one frame past the loaded words; past the last slot it carries 0.
    quint16 frameWord(int index) const;
};
