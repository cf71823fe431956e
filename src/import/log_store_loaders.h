#pragma once
// Bluetooth logs (".bon", ".bon4", ".bonz", ".bnz4") and run files (".dtb")
// read straight into the log store as samples with blocks. Each loader
// appends to the store (the caller empties it first and, for the
// fourth-generation kinds, smooths the speeds afterwards); a full store keeps
// what it holds and drops the rest.
#include <QString>
#include "common/records.h"

namespace vel {

struct LogStore;
class StatusList;

// A lap record as a log sample, as the ".dtb" loader fills it; false for a
// record with a value that is no finite number or does not fit the
// sample's field (the loader skips such a record).
bool LogItemOfLapElm(const TLapElmRec& r, TLogItem& item);

// Every loader returns true when it read the file, whether or not a sample
// came of it. false: the file is missing or its size fits no whole number of
// records (error left alone: passed over without a word), or a read error
// (error text for the error box). A Bluetooth log that fails to read leaves
// the store as it was; a run file keeps the samples read before the error.
// Records that are skipped with a report go to the status list.

// ".bon": 26-byte records, tenths of a second.
bool LoadLapFileBleToLogItems(const QString& fn, LogStore& store, StatusList& status,
                              QString* error = nullptr);
// ".bon4": 26-byte records, hundredths, valid 3.
bool LoadLapFileBle4ToLogItems(const QString& fn, LogStore& store, StatusList& status,
                               QString* error = nullptr);
// ".bonz": 122-byte records with motion data, headings corrected.
bool LoadLapFileBleZToLogItems(const QString& fn, LogStore& store, StatusList& status,
                               QString* error = nullptr);
// ".bnz4": as ".bonz" with hundredths.
bool LoadLapFileBleZ4ToLogItems(const QString& fn, LogStore& store, StatusList& status,
                                QString* error = nullptr);
// ".dtb": 128-byte lap records; records with values that are not finite
// numbers or do not fit the sample's fields are skipped.
bool LoadLapFileBinToLogItems(const QString& fn, LogStore& store, StatusList& status,
                              QString* error = nullptr);

} // namespace vel
