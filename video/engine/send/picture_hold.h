#pragma once
// A hold of one picture on a send channel's data thread, for tests of a
// channel's stop while a picture is in flight: armed, the next picture any
// data thread takes waits there, before its encode, until its channel is
// stopped or the hold is let go. Unarmed (always, outside such tests) a
// channel pays one atomic load a picture and one a stop.
//
// Threads: any; the waiting is the data thread's.
namespace picture_hold {

// The test's side.
// Arms the hold for the next picture taken (one at a time).
void HoldNext();
// Whether a picture waits on its data thread now.
bool Held();
// Lets the waiting picture go, or disarms a hold not taken yet.
void LetGo();

// The channel's side; `channel` names the channel, never dereferenced.
// On the data thread, with a picture taken: waits while the hold is taken
// by it (or takes an armed hold and waits).
void WaitIfHeld(const void* channel);
// The channel stops: a picture of its own that waits goes on.
void ChannelStopping(const void* channel);

}  // namespace picture_hold
