#include "GraphRanges.h"

#include "LevelListPlot.h"


GraphSharedState &graphSharedState()
{
    static GraphSharedState state;
    return state;
}

AxisSpan listResetXSpan(int plotPointCount)
{
    return {1.0, double(plotPointCount)};
}

AxisSpan listResetYSpan()
{
    return {UnderRangePlotLevel, OverRangePlotLevel};
}
