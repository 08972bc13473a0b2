#include "engine/EarlyStop.h"

namespace {

const JOCTET kEndOfImage[2] = {0xFF, static_cast<JOCTET>(JPEG_EOI)};

boolean FillOrEnd(j_decompress_ptr info) {
    auto* state = static_cast<EarlyStop*>(info->client_data);
    if (!state->ended && info->input_iMCU_row < state->stopAtRow) {
        return state->innerFill(info);
    }
    if (!state->ended) {
        state->ended = true;
        state->warningsBefore = info->err->num_warnings;
    }
    info->src->next_input_byte = kEndOfImage;
    info->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

}  // namespace

void InstallEarlyStop(j_decompress_ptr info, EarlyStop& state, JDIMENSION bottom) {
    if (info->progressive_mode || info->comps_in_scan != info->num_components)
        return;
    const auto rowHeight = static_cast<JDIMENSION>(DCTSIZE * info->max_v_samp_factor);
    const JDIMENSION needed = (bottom + rowHeight - 1) / rowHeight;
    if (rowHeight == 0 || needed >= info->total_iMCU_rows)
        return;
    state.stopAtRow = needed;
    state.innerFill = info->src->fill_input_buffer;
    info->client_data = &state;
    info->src->fill_input_buffer = FillOrEnd;
}

void SettleEarlyStop(const EarlyStop& state, CropErrorManager& errors) {
    if (!state.ended)
        return;
    if (state.warningsBefore == 0)
        errors.firstWarning[0] = '\0';
    errors.pub.num_warnings = state.warningsBefore;
}
