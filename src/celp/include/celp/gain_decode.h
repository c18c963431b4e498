// Pitch and fixed-codebook gains, the latter predicted from past energies.
#pragma once

#include "celp/celp_state.h"

namespace celp {

void Dec_gain(int index, const ScaledShort* code, int L_subfr, ScaledShort past_qua_en[4],
              ScaledShort& gain_pit, ScaledShort& gain_code);
void Dec_gain_6k(int index, const ScaledShort* code, int L_subfr, ScaledShort past_qua_en[4],
                 int direct_index_mode, ScaledShort& gain_pit, ScaledShort& gain_code);
void Gain_predict(const ScaledShort past_qua_en[4], const ScaledShort* code, int L_subfr,
                  ScaledShort& gcode0, int& exp_gcode0);
void Gain_update(ScaledShort past_qua_en[4], ScaledLong L_gbk12);

}  // namespace celp
