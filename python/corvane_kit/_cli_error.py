"""The one failure type of the command line: bad input, reported as one line with exit status 2."""


class CliError(Exception):
    """A problem with the command's input, reported as one line with exit status 2."""
