import os
import pathlib

import pytest

EXAMPLES = pathlib.Path(os.environ.get("KALVOR_EXAMPLES", pathlib.Path(__file__).parents[2] / "examples"))


@pytest.fixture
def examples():
    return EXAMPLES


@pytest.fixture
def kalvor_calc():
    path = os.environ.get("KALVOR_CALC")
    if not path:
        pytest.skip("KALVOR_CALC names no kalvor-calc (the tests run from CTest)")
    return path
