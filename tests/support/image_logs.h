#pragma once
// The image builder's samples as the other logs the program opens: a
// Bluetooth log and a working file's records.
#include <vector>
#include <QByteArray>
#include "import/bluetooth_records.h"
#include "support/image_builder.h"

namespace vel::test {

// The sample's UTC time as a day number.
double UtcDays(const ImageSample& s);
// A Bluetooth log of the kind holding the samples.
QByteArray BtBytes(BtKind kind, const std::vector<ImageSample>& samples);
// Working-file records of the samples, their local times from localEpoch
// (the session's LocalEpoch), times counted from the first.
QByteArray DtbBytes(const std::vector<ImageSample>& samples, double localEpoch);

} // namespace vel::test
