"""The package's base error, apart so that every module can derive from it."""


class SimulatorError(Exception):
    """Something went wrong between Python and the simulator."""
