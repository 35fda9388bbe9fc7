#pragma once

// What a download of a number of words puts on a 9600-baud line, and how long
// the line itself needs for it: no host can finish sooner.
struct WireBudget {
    static constexpr double kBytesPerSecond = 960.0;   // start, 8 data and stop bit at 9600 baud
    static constexpr int kWakeUpBytes = 100 + 4;       // preamble and handshake
    static constexpr int kHandshakeAnswerBytes = 1;
    static constexpr int kFrameBytes = 4 + 1;   // a word frame and its acknowledgement
    static constexpr int kEndMarkerBytes = 4;

    // One frame more than the words: the last carries 0.
    static int frames(int words) { return words + 1; }

    static long long bytes(int words)
    {
        return kWakeUpBytes + kHandshakeAnswerBytes + (long long)kFrameBytes * frames(words)
            + kEndMarkerBytes;
    }

    static double seconds(int words) { return double(bytes(words)) / kBytesPerSecond; }
};
