import numpy as np
import numpy.typing as npt

def pixels_to_degrees(
    pixels: npt.ArrayLike,
    *,
    screen_size: npt.ArrayLike,
    resolution: npt.ArrayLike,
    distance: float,
    center: npt.ArrayLike | None = None,
) -> npt.NDArray[np.float64]: ...
