#include "main/DepthWatch.h"

CDepthWatch::CVerdict CDepthWatch::Observe(int displayDepth) {
    CVerdict v;
    if (displayDepth == 1) {
        v.depth = m_lastGood;
    } else {
        v.depth = displayDepth;
        if (Supported(displayDepth))
            m_lastGood = displayDepth;
    }
    v.unsupported = !Supported(v.depth);
    if (v.depth != m_previous) {
        v.restart = m_grace == 0 && Supported(m_previous) && Supported(v.depth);
        m_previous = v.depth;
    }
    if (m_grace != 0)
        --m_grace;
    return v;
}
