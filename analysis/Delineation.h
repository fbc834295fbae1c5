#pragma once
// Delineation of the average beats: the record's P, QRS and T boundaries on the SpatialVelocity
// of all twelve leads, then each lead's own boundaries inside them.
#include "analysis/AnalysisTypes.h"

#include <cstdint>

// Pass 0 finds only the QRS (before the isoelectric correction); pass 1 also finds P and T,
// using the ReferenceRr in ms (0 when not known).
void DelineateGlobal(const AverageBeatMatrix& beats, int pass, int32_t referenceRr,
                     WavePoints& points);

// The wave points of one lead from its column and the record's points.
void DelineateLead(const AverageBeatMatrix& beats, int lead, const WavePoints& global,
                   WavePoints& points);
