#pragma once

#include <QByteArray>

#include <stop_token>

// Whether an audio or video file may be handed to the application's player: it opens in one of
// the self-contained container formats the metadata reader accepts (no playlist, no reference
// to other files or addresses), and holds at least one audio or video stream that a decoder
// here knows.
namespace MediaProbe {
bool playable(const QByteArray &path, std::stop_token stop);
}
