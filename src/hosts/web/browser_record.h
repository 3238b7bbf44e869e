// The record in the browser's storage (localStorage), in the very text of
// score.dat. Every tab of the game shares it, so a save reads it again first
// and keeps the higher record.
#pragma once

#include "machine/record_store.h"

namespace pm::web {

class BrowserRecord final : public RecordStore {
public:
    RecordRead Load() override;
    RecordSave Save(int32_t record) override;

private:
    bool failed_ = false;   // the last save failed: the page says so until one succeeds
};

}  // namespace pm::web
