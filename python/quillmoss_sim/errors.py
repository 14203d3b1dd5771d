"""The error every module of the package may raise; each other error lives
with what it is about (HostCallError with the frames, in renderer.py)."""

from __future__ import annotations


class SimulatorError(Exception):
    """Something went wrong between Python and the simulator."""
