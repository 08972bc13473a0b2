#include "engine/DcOnlyDecode.h"

#include <cstring>

// One component's coefficients: the DC term of every block, and a band of
// whole blocks that libjpeg reads and writes. The band's AC terms stay zero
// because no AC scan is ever read into it.
struct DcOnlyArray {
    JDIMENSION rows = 0;
    JDIMENSION blocksPerRow = 0;
    JDIMENSION maxAccess = 0;
    JCOEF* dc = nullptr;
    JBLOCKARRAY band = nullptr;
    JDIMENSION bandStart = 0;
    JDIMENSION bandCount = 0;
    bool bandWritable = false;
    bool bandLoaded = false;
    JCOEF bias = 0;  // added when read for output: the middle of a DC term's missing low bits
};

namespace {

void FlushBand(DcOnlyArray& a) {
    if (!a.bandLoaded || !a.bandWritable)
        return;
    for (JDIMENSION r = 0; r < a.bandCount; ++r) {
        JCOEF* dc = a.dc + static_cast<std::size_t>(a.bandStart + r) * a.blocksPerRow;
        for (JDIMENSION b = 0; b < a.blocksPerRow; ++b)
            dc[b] = a.band[r][b][0];
    }
}

void LoadBand(DcOnlyArray& a, JDIMENSION start, JDIMENSION count, bool writable) {
    const JCOEF bias = writable ? 0 : a.bias;
    for (JDIMENSION r = 0; r < count; ++r) {
        const JCOEF* dc = a.dc + static_cast<std::size_t>(start + r) * a.blocksPerRow;
        for (JDIMENSION b = 0; b < a.blocksPerRow; ++b) {
            a.band[r][b][0] = static_cast<JCOEF>(dc[b] + bias);
        }
    }
    a.bandStart = start;
    a.bandCount = count;
    a.bandWritable = writable;
    a.bandLoaded = true;
}

jvirt_barray_ptr RequestDcOnlyArray(j_common_ptr common, int pool, boolean /*preZero*/,
                                    JDIMENSION blocksPerRow, JDIMENSION rows,
                                    JDIMENSION maxAccess) {
    auto* store = static_cast<DcOnlyStore*>(common->client_data);
    jpeg_memory_mgr* mem = common->mem;
    auto* a = static_cast<DcOnlyArray*>(mem->alloc_small(common, pool, sizeof(DcOnlyArray)));
    *a = DcOnlyArray{};
    a->rows = rows;
    a->blocksPerRow = blocksPerRow;
    a->maxAccess = maxAccess;
    const std::size_t dcBytes = static_cast<std::size_t>(rows) * blocksPerRow * sizeof(JCOEF);
    a->dc = static_cast<JCOEF*>(mem->alloc_large(common, pool, dcBytes));
    std::memset(a->dc, 0, dcBytes);
    a->band = mem->alloc_barray(common, pool, blocksPerRow, maxAccess);
    for (JDIMENSION r = 0; r < maxAccess; ++r) {
        std::memset(a->band[r], 0, static_cast<std::size_t>(blocksPerRow) * sizeof(JBLOCK));
    }
    store->arrays.push_back(a);
    return reinterpret_cast<jvirt_barray_ptr>(a);
}

JBLOCKARRAY AccessDcOnlyArray(j_common_ptr common, jvirt_barray_ptr array, JDIMENSION start,
                              JDIMENSION count, boolean writable) {
    DcOnlyArray& a = *reinterpret_cast<DcOnlyArray*>(array);
    if (count > a.maxAccess || start > a.rows || count > a.rows - start) {
        ERREXIT(common, JERR_BAD_VIRTUAL_ACCESS);
    }
    const bool write = writable != FALSE;
    if (a.bandLoaded && a.bandStart == start && a.bandCount == count && a.bandWritable == write) {
        return a.band;
    }
    FlushBand(a);
    LoadBand(a, start, count, write);
    return a.band;
}

bool EveryComponentHasDc(const jpeg_decompress_struct& info) {
    for (int ci = 0; ci < info.num_components; ++ci) {
        if (info.coef_bits[ci][0] < 0)
            return false;
    }
    return true;
}

}  // namespace

void UseDcOnlyStore(j_decompress_ptr info, DcOnlyStore& store) {
    info->buffered_image = TRUE;
    info->do_block_smoothing = FALSE;
    info->client_data = &store;
    info->mem->request_virt_barray = RequestDcOnlyArray;
    info->mem->access_virt_barray = AccessDcOnlyArray;
}

bool StartDcOnlyOutput(j_decompress_ptr info, DcOnlyStore& store) {
    auto* common = reinterpret_cast<j_common_ptr>(info);
    int status = JPEG_SUSPENDED;
    for (;;) {
        status = jpeg_consume_input(info);
        if (info->progress != nullptr)
            info->progress->progress_monitor(common);
        if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED)
            break;
        // At a scan's start: its parameters are known, its data not yet read.
        if (status == JPEG_REACHED_SOS && info->Ss > 0) {
            if (!EveryComponentHasDc(*info))
                return false;
            break;
        }
    }
    for (std::size_t ci = 0; ci < store.arrays.size(); ++ci) {
        const int missingBits = info->coef_bits[ci][0];
        store.arrays[ci]->bias = static_cast<JCOEF>(missingBits > 0 ? 1 << (missingBits - 1) : 0);
    }
    // The scan just begun is not read: output shows the scans before it.
    const int last =
        status == JPEG_REACHED_SOS ? info->input_scan_number - 1 : info->input_scan_number;
    jpeg_start_output(info, last);
    return true;
}
