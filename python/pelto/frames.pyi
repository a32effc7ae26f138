from typing import Any, Mapping, Sequence

class ResultCopy:
    def __init__(self, kind: str, attributes: dict[str, Any]) -> None: ...
    def __getattr__(self, name: str) -> Any: ...

def smooth_frame(
    frame: Any,
    time: str,
    columns: str | Sequence[str],
    *,
    unit: str = "ms",
    by: str | list[str] | None = None,
    names: Sequence[str] | None = None,
    accepted: str = "accepted",
    workers: int | None = None,
    client: Any = None,
    **options: Any,
) -> Any: ...
def tune_frame(
    frame: Any,
    time: str,
    columns: str | Sequence[str],
    *,
    unit: str = "ms",
    by: str | list[str] | None = None,
    workers: int | None = None,
    client: Any = None,
    **options: Any,
) -> dict[Any, Any]: ...
def tuning_summary(
    results: Mapping[Any, Any], by: str | list[str] | None = None
) -> Any: ...
