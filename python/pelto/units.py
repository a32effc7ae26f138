"""Pixels to degrees of visual angle.

One-euro parameters carry over between setups only in a unit that means the same everywhere:
``min_cut_off`` is in hertz whatever the unit, but ``beta`` scales the cutoff with the signal's
speed, so a beta tuned in pixels per second suits one screen, resolution and viewing distance
only. Tuned in degrees, it suits every setup.
"""

from __future__ import annotations

import numpy as np
import numpy.typing as npt


def pixels_to_degrees(
    pixels: npt.ArrayLike,
    *,
    screen_size: npt.ArrayLike,
    resolution: npt.ArrayLike,
    distance: float,
    center: npt.ArrayLike | None = None,
) -> npt.NDArray[np.float64]:
    """Gaze positions in pixels as degrees of visual angle from the point straight ahead of the eye.

    ``pixels`` is an array whose last axis holds the coordinates (e.g. shape (N, 2) for x, y);
    ``screen_size`` (the screen's physical width and height, in the unit of ``distance``) and
    ``resolution`` (its width and height in pixels) have one entry per coordinate, or are scalars.
    ``distance`` is from the eye to the screen. ``center`` is the pixel straight ahead of the eye,
    by default the middle of the screen (``resolution / 2``). Each coordinate ``p`` becomes
    ``degrees(arctan2((p - center) * screen_size / resolution, distance))``. NaN stays NaN.
    """
    size = np.asarray(screen_size, dtype=np.float64)
    pixels_across = np.asarray(resolution, dtype=np.float64)
    middle = pixels_across / 2.0 if center is None else np.asarray(center, dtype=np.float64)
    if distance <= 0.0 or np.any(size <= 0.0) or np.any(pixels_across <= 0.0):
        raise ValueError("screen_size, resolution and distance must be positive")
    offset = (np.asarray(pixels, dtype=np.float64) - middle) * (size / pixels_across)
    return np.asarray(np.degrees(np.arctan2(offset, float(distance))), dtype=np.float64)
