#pragma once

// The costly texture refresh runs at most once per this many seconds.
constexpr float refreshInterval = 0.08f;

// True when more than refreshInterval has passed since lastRefreshTime; then
// lastRefreshTime becomes now. The simulation and the brush share one value.
inline bool refreshIsDue(float& lastRefreshTime, float now)
{
    if (!(now - lastRefreshTime > refreshInterval))
        return false;
    lastRefreshTime = now;
    return true;
}
